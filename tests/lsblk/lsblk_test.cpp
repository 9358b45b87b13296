// lsblk's JSON read with the project's own JSON reader: samples saved from real lsblk output
// (see README.md beside them), what older versions write, sizes that do not fit, and the
// reader's own rules. The real lsblk of the machine is run by the Open Device dialog's test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "lsblk/block_devices.h"
#include "lsblk/block_watch.h"
#include "lsblk/json.h"

namespace dulvex::lsblk {
namespace {

std::string Sample(const char* name) {
  std::ifstream file(std::string(DULVEX_LSBLK_SAMPLES) + "/" + name, std::ios::binary);
  EXPECT_TRUE(file.good()) << name;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// A device in one line: path, type, size, file system, label, mount points, and the flags
// removable, read-only, mounted, holds a mounted one; depth.
std::string Describe(const BlockDevice& d) {
  std::string mounts;
  for (const std::string& m : d.mountPoints) mounts += m + ";";
  return d.path + " " + d.type + " " + (d.sizeKnown ? std::to_string(d.size) : "?") + " " +
         d.fsType + " " + d.label + " [" + mounts + "] " + std::to_string(d.removable) +
         std::to_string(d.readOnly) + std::to_string(d.mounted()) + std::to_string(d.holdsMounted) +
         " " + std::to_string(d.depth);
}

std::vector<std::string> Described(const DeviceList& list) {
  EXPECT_TRUE(list.status.ok()) << list.status.Describe();
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
                R"({"blockdevices": [{"name": "sdb", "size": "8006926336", "rm": "1", "ro": 0,
                    "type": "disk", "mountpoint": "/media/stick"}]})")),
            std::vector<std::string>{"/dev/sdb disk 8006926336   [/media/stick;] 1010 0"});
  EXPECT_FALSE(ParseLsblk("lsblk: unknown column").status.ok());
  EXPECT_FALSE(ParseLsblk(R"({"devices": []})").status.ok());
}

// Sizes are whole numbers of bytes read as integers: the largest 64-bit one is kept exactly;
// 2^64, a fraction, an exponent or a sign leave the size unknown, and the device is still
// listed.
TEST(Lsblk, SizesThatDoNotFitAreUnknown) {
  const std::pair<const char*, const char*> cases[] = {
      {"18446744073709551615", "18446744073709551615"},
      {"\"18446744073709551615\"", "18446744073709551615"},
      {"18446744073709551616", "?"},
      {"\"18446744073709551616\"", "?"},
      {"99999999999999999999999", "?"},
      {"1e3", "?"},
      {"512.0", "?"},
      {"-512", "?"},
      {"\"-512\"", "?"},
      {"\"\"", "?"},
      {"null", "?"},
      {"0", "0"}};
  for (const auto& [size, want] : cases) {
    const DeviceList list =
        ParseLsblk(std::string(R"({"blockdevices":[{"name":"sdz","size":)") + size + "}]}");
    ASSERT_EQ(list.devices.size(), 1u) << size;
    EXPECT_EQ(list.devices[0].sizeKnown ? std::to_string(list.devices[0].size) : "?", want) << size;
  }
}

// The reader's rules: escapes (a pair of surrogates is one character, a lone one U+FFFD),
// the last member of a name counts, and every fault is reported with where it is.
TEST(Json, EscapesAndFaults) {
  const json::ParseResult r =
      json::Parse(R"( {"a": "x\"\\\/\n\u00e9\ud83d\ude00\ud800!", "a": [true, null, -0.5e+2]} )");
  ASSERT_EQ(r.error, "");
  EXPECT_TRUE(r.value["a"].isArray());
  EXPECT_EQ(json::Parse(R"({"a": "x\"\\\/\n\u00e9\ud83d\ude00\ud800!"})").value["a"].text(),
            "x\"\\/\n\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD!");
  EXPECT_EQ(r.value["a"].items()[2].text(), "-0.5e+2");
  EXPECT_TRUE(r.value["missing"].isNull());

  const std::string deep(json::kMaxDepth, '[');
  EXPECT_EQ(json::Parse(deep + std::string(json::kMaxDepth, ']')).error, "");
  EXPECT_NE(json::Parse(deep + "[" + std::string(json::kMaxDepth + 1, ']')).error, "");
  for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "{\"a\":1,}", "01", "1.", "-", "1e", "tru",
                          "\"\\x\"", "\"\\u12\"", "\"a\nb\"", "\"open", "[1] 2", "{1:2}"}) {
    const json::ParseResult fault = json::Parse(bad);
    EXPECT_NE(fault.error.find(" at byte "), std::string::npos) << bad;
    EXPECT_TRUE(fault.value.isNull()) << bad;
  }
}

// Where udev does not run, the rescans of /sys/class/block (a folder made here) see a device
// come, get a medium, get another one (its disk sequence number), turn read-only and go.
TEST(BlockWatch, RescansSeeDevicesAndMediaChange) {
  const std::filesystem::path sys =
      std::filesystem::temp_directory_path() / ("dulvex-sys-" + std::to_string(::getpid()));
  std::filesystem::create_directories(sys);
  const auto put = [&](const char* file, const char* value) {
    std::ofstream(sys / "loop9" / file) << value << "\n";
  };
  BlockWatch watch("/nonexistent/udev/control", sys);
  EXPECT_NE(watch.source(), BlockWatch::Source::Udev);
  EXPECT_TRUE(watch.rescans());
  EXPECT_FALSE(watch.Rescan());
  std::filesystem::create_directory(sys / "loop9");
  put("size", "0");
  EXPECT_TRUE(watch.Rescan());
  EXPECT_FALSE(watch.Rescan());
  const std::pair<const char*, const char*> changes[] = {
      {"size", "2880"}, {"diskseq", "31"}, {"ro", "1"}, {"removable", "1"}};
  for (const auto& [file, value] : changes) {
    put(file, value);
    EXPECT_TRUE(watch.Rescan()) << file;
  }
  std::filesystem::remove_all(sys / "loop9");
  EXPECT_TRUE(watch.Rescan());
  EXPECT_EQ(SysBlockState(sys), "");
  std::filesystem::remove_all(sys);
}

}  // namespace
}  // namespace dulvex::lsblk
