// lsblk's JSON read with Qt's JSON classes: samples saved from real lsblk output (see
// README.md beside them), and a live loop device when the machine gives one. Needs only
// Qt Core: no display.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <string>

#include "lsblk/block_devices.h"

namespace dulvex::lsblk {
namespace {

QByteArray Sample(const char* name) {
  QFile file(QString(DULVEX_LSBLK_SAMPLES) + "/" + name);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
  return file.readAll();
}

TEST(Lsblk, LoopDevicesWithPartitionsAMountAndAReadOnlyOne) {
  const DeviceList list = ParseLsblk(Sample("loops.json"));
  ASSERT_EQ(list.error, "");
  ASSERT_EQ(list.devices.size(), 4u);
  const BlockDevice& disk = list.devices[0];
  EXPECT_EQ(disk.path, "/dev/loop0");
  EXPECT_EQ(disk.type, "loop");
  EXPECT_EQ(disk.size, 41943040u);
  EXPECT_FALSE(disk.mounted());
  EXPECT_TRUE(disk.holdsMounted);  // its second partition is mounted
  const BlockDevice& p1 = list.devices[1];
  EXPECT_EQ(p1.path, "/dev/loop0p1");
  EXPECT_EQ(p1.depth, 1);
  EXPECT_EQ(p1.fsType, "vfat");
  EXPECT_EQ(p1.label, "PARTONE");
  EXPECT_FALSE(p1.mounted());  // "mountpoints": [null]
  const BlockDevice& p2 = list.devices[2];
  EXPECT_EQ(p2.mountPoints, std::vector<std::string>{"/tmp/i14-lsblk.VyvN/mnt"});
  const BlockDevice& ro = list.devices[3];
  EXPECT_EQ(ro.path, "/dev/loop1");
  EXPECT_TRUE(ro.readOnly);
}

TEST(Lsblk, MachineDisksAndWhatOlderVersionsWrite) {
  const DeviceList machine = ParseLsblk(Sample("machine.json"));
  ASSERT_EQ(machine.devices.size(), 2u);
  EXPECT_EQ(machine.devices[1].path, "/dev/vda");
  EXPECT_EQ(machine.devices[1].size, 274877906944u);
  EXPECT_TRUE(machine.devices[1].mounted());
  // util-linux before 2.37: one "mountpoint", flags and sizes as texts, no "path".
  const DeviceList old = ParseLsblk(
      R"({"blockdevices": [{"name": "sdb", "size": "8006926336", "rm": "1", "ro": "0",
          "type": "disk", "mountpoint": "/media/stick"}]})");
  ASSERT_EQ(old.devices.size(), 1u);
  EXPECT_EQ(old.devices[0].path, "/dev/sdb");
  EXPECT_EQ(old.devices[0].size, 8006926336u);
  EXPECT_TRUE(old.devices[0].removable);
  EXPECT_FALSE(old.devices[0].readOnly);
  EXPECT_TRUE(old.devices[0].mounted());

  EXPECT_NE(ParseLsblk("lsblk: unknown column").error, "");
  EXPECT_NE(ParseLsblk(R"({"devices": []})").error, "");
}

// The real lsblk on this machine, with a read-only loop device attached for the test.
TEST(Lsblk, LiveLoopDevice) {
  if (::geteuid() != 0) GTEST_SKIP() << "attaching a loop device needs root";
  char name[] = "/tmp/dulvex-lsblk-XXXXXX";
  const int fd = ::mkstemp(name);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 3 * 1024 * 1024), 0);
  ::close(fd);
  std::string loop;
  if (FILE* p =
          ::popen((std::string("losetup -f --show -r ") + name + " 2>/dev/null").c_str(), "r")) {
    char buf[128] = {};
    if (std::fgets(buf, sizeof buf, p) != nullptr) loop = buf;
    ::pclose(p);
  }
  loop.erase(loop.find_last_not_of(" \n") + 1);
  if (loop.empty()) {
    ::unlink(name);
    GTEST_SKIP() << "losetup gave no loop device on this machine";
  }
  const DeviceList list = ListBlockDevices();
  std::system(("losetup -d " + loop).c_str());
  ::unlink(name);
  ASSERT_EQ(list.error, "");
  const auto it = std::find_if(list.devices.begin(), list.devices.end(),
                               [&](const BlockDevice& d) { return d.path == loop; });
  ASSERT_NE(it, list.devices.end()) << loop << " not listed";
  EXPECT_EQ(it->size, 3u * 1024 * 1024);
  EXPECT_TRUE(it->readOnly);
  EXPECT_EQ(it->type, "loop");
}

}  // namespace
}  // namespace dulvex::lsblk
