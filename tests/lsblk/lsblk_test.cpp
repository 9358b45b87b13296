// lsblk's JSON read with Qt's JSON classes: samples saved from real lsblk output (see
// README.md beside them). Needs only Qt Core: no display. The real lsblk of the machine is
// run by the Open Device dialog's test.
#include <gtest/gtest.h>

#include <QFile>
#include <string>

#include "lsblk/block_devices.h"

namespace dulvex::lsblk {
namespace {

QByteArray Sample(const char* name) {
  QFile file(QString(DULVEX_LSBLK_SAMPLES) + "/" + name);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
  return file.readAll();
}

// A device in one line: path, type, size, file system, label, mount points, and the flags
// removable, read-only, mounted, holds a mounted one; depth.
std::string Describe(const BlockDevice& d) {
  std::string mounts;
  for (const std::string& m : d.mountPoints) mounts += m + ";";
  return d.path + " " + d.type + " " + std::to_string(d.size) + " " + d.fsType + " " + d.label +
         " [" + mounts + "] " + std::to_string(d.removable) + std::to_string(d.readOnly) +
         std::to_string(d.mounted()) + std::to_string(d.holdsMounted) + " " +
         std::to_string(d.depth);
}

std::vector<std::string> Described(const DeviceList& list) {
  EXPECT_EQ(list.error, "");
  std::vector<std::string> lines;
  for (const BlockDevice& d : list.devices) lines.push_back(Describe(d));
  return lines;
}

// Partitions, one mounted ("mountpoints": [null] is not a mount), and a read-only device;
// util-linux before 2.37 writes one "mountpoint", flags and sizes as texts, and no "path".
TEST(Lsblk, SamplesAndWhatOlderVersionsWrite) {
  EXPECT_EQ(Described(ParseLsblk(Sample("loops.json"))),
            (std::vector<std::string>{
                "/dev/loop0 loop 41943040   [] 0001 0",
                "/dev/loop0p1 part 20971520 vfat PARTONE [] 0000 1",
                "/dev/loop0p2 part 19922944 ext2  [/tmp/i14-lsblk.VyvN/mnt;] 0010 1",
                "/dev/loop1 loop 4194304 vfat  [] 0100 0"}));
  EXPECT_EQ(Described(ParseLsblk(Sample("machine.json"))).at(1),
            "/dev/vda disk 274877906944   [/;] 0010 0");
  EXPECT_EQ(Described(ParseLsblk(
                R"({"blockdevices": [{"name": "sdb", "size": "8006926336", "rm": "1", "ro": "0",
                    "type": "disk", "mountpoint": "/media/stick"}]})")),
            std::vector<std::string>{"/dev/sdb disk 8006926336   [/media/stick;] 1010 0"});
  EXPECT_NE(ParseLsblk("lsblk: unknown column").error, "");
  EXPECT_NE(ParseLsblk(R"({"devices": []})").error, "");
}

}  // namespace
}  // namespace dulvex::lsblk
