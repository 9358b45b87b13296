// The three sector routines as the handlers use them: results, buffers and the message
// boxes they show, on image files and a loop block device behind drive letters.
#include "app/sector_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <limits>

#include "journal/journal.h"
#include "support/device_test_support.h"

namespace dulvex::testing {
namespace {

// The boxes shown since the last call: these texts, each with this style and the title.
void ExpectBoxes(ScriptedPrompter& p, const std::vector<std::string>& texts, int style) {
  ASSERT_EQ(p.shown.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(p.shown[i].text, texts[i]);
    EXPECT_TRUE(p.shown[i].style == style && p.shown[i].title == AppTitle()) << texts[i];
  }
  p.shown.clear();
}

constexpr std::int64_t kSectors = 24;
const std::string kPastEnd = ": the sector lies past the end of the medium. Nothing was written.";

// Drive A: holds a pattern image of 24 sectors and is chosen.
struct SectorIo : ::testing::Test {
  ModelFixture f;
  std::vector<std::uint8_t> data = MakePatternImage(f.Drive('A'), kSectors * 512);
  SectorIo() { f.model.state.DevicePath = "A:"; }
};

// Reads and writes land on their sector (a negative number on sector 0) and nowhere else;
// each write leaves its record in the journal.
TEST_F(SectorIo, ReadsAndWritesLandExactlyOnTheirSector) {
  const SectorBytes boot = f.model.state.BootSectorBuffer = Filled(0x77);
  for (std::int64_t n : {std::int64_t{0}, std::int64_t{1}, kSectors - 1, std::int64_t{-5}}) {
    const std::int64_t target = std::max<std::int64_t>(n, 0);
    SectorBytes buf = Filled(0xEE), in;
    TransferResult r = ReadSector(f.model, n, buf);
    EXPECT_TRUE(r.ok && r.count == target && buf == Slice(data, target)) << n;
    for (std::size_t i = 0; i < 512; ++i) in[i] = static_cast<std::uint8_t>(255 - i - n);
    r = WriteSector(f.model, "A:", n, buf, in);
    EXPECT_TRUE(r.ok && r.count == target) << n;
    std::copy(in.begin(), in.end(), data.begin() + target * 512);
    EXPECT_EQ(WholeFile(f.Drive('A')), data) << "after writing sector " << n;
  }
  EXPECT_TRUE(f.model.state.BootSectorBuffer == boot && f.prompter.shown.empty());
  EXPECT_TRUE(Leggi_MBR(f.model) && f.model.state.BootSectorBuffer == Slice(data, 0));
  std::int64_t records = 0;
  EXPECT_TRUE(JournalOf(f.model).Count("A:", &records).ok() && records == 4);
}

// Numbers beyond 32 bits are refused before any device is opened (behind R: there is
// nothing, yet the only boxes are the refusals); a sector past the end is not written and
// the image never grows.
TEST_F(SectorIo, NumbersOutsideTheMediumAreRefused) {
  f.model.state.DevicePath = "R:";
  for (std::int64_t n : {std::int64_t{2147483648}, std::numeric_limits<std::int64_t>::min()}) {
    const std::string range =
        " sector number " + std::to_string(n) +
        " is out of range (sector numbers go from -2147483647 to 2147483647).";
    SectorBytes buf = Filled(0xEE);
    TransferResult r = ReadSector(f.model, n, buf), w = WriteSector(f.model, "R:", n, buf, buf);
    EXPECT_TRUE(!r.ok && !w.ok && r.count == 0 && w.count == 0 && buf == Filled(0xEE)) << n;
    ExpectBoxes(f.prompter, {"Read refused:" + range, "Write refused:" + range}, 48);
  }
  for (std::int64_t n : {kSectors, std::int64_t{2147483647}}) {
    TransferResult r = WriteSector(f.model, "A:", n, Filled(0), Filled(0x42));
    EXPECT_TRUE(!r.ok && r.count == n) << n;
    ExpectBoxes(f.prompter, {"Write refused on Device A:, sector " + std::to_string(n) + kPastEnd},
                48);
  }
  EXPECT_EQ(WholeFile(f.Drive('A')), data);
}

TEST(SectorIoSparse, SectorTwoBillionOfATebibyteImage) {
  ModelFixture f;
  MakeZeroImage(f.Drive('C'), std::uint64_t{1} << 31);
  f.model.state.DevicePath = "C:";
  constexpr std::int64_t n = 2000000000;
  PokeBytes(f.Drive('C'), n, 510, {0x55, 0xAA});
  SectorBytes buf = Filled(0xEE);
  TransferResult r = ReadSector(f.model, n, buf);
  EXPECT_TRUE(r.ok && r.count == n && buf[0] == 0 && buf[510] == 0x55 && buf[511] == 0xAA);
  r = WriteSector(f.model, "C:", n, buf, Filled(0xC3));
  EXPECT_TRUE(r.ok && r.count == n);
  EXPECT_EQ(ReadBytes(f.Drive('C'), n - 1, 511, 1), std::vector<std::uint8_t>{0});
  EXPECT_EQ(ReadBytes(f.Drive('C'), n, 0, 512), std::vector<std::uint8_t>(512, 0xC3));
  EXPECT_EQ(ReadBytes(f.Drive('C'), n + 1, 0, 1), std::vector<std::uint8_t>{0});
  EXPECT_EQ(std::filesystem::file_size(f.Drive('C')), std::uint64_t{1} << 40);
}

// Each routine has its own open-failure text and style, and leaves its array alone: for no
// device, nothing behind the letter, a folder and a pipe.
TEST_F(SectorIo, OpenFailureEachRoutineShowsItsOwnMessage) {
  std::filesystem::create_directory(f.Drive('F'));
  ASSERT_EQ(::mkfifo(f.Drive('P').c_str(), 0600), 0);
  for (std::string device : {"", "R:", "F:", "P:"}) {
    f.model.state.DevicePath = device;
    f.model.state.BootSectorBuffer = Filled(0x31);
    EXPECT_TRUE(!Leggi_MBR(f.model) && f.model.state.BootSectorBuffer == Filled(0x31));
    ExpectBoxes(f.prompter, {device + " IS A BAD DEVICE/VOLUME."}, 48);
    SectorBytes buf = Filled(0xEE);
    TransferResult r = ReadSector(f.model, 7, buf);
    EXPECT_TRUE(!r.ok && r.count == 0 && buf == Filled(0xEE)) << device;
    ExpectBoxes(f.prompter, {"Open Error on Device " + device}, 0);
    r = WriteSector(f.model, device, 7, buf, buf);
    EXPECT_TRUE(!r.ok && r.count == 0) << device;
    ExpectBoxes(f.prompter, {"Errore nell'apertura del device " + device}, 0);
  }
  EXPECT_TRUE(!std::filesystem::exists(f.Drive('R')) && std::filesystem::is_empty(f.Drive('F')));
}

// A loop device: its end is found, a write is refused while another program holds it
// exclusively (as a mount does), and once free a write lands on its sector alone.
TEST(SectorIoBlockDevice, EndBusyRefusalAndExactWrite) {
  ModelFixture f;
  TempDir dir;
  auto data = MakePatternImage(dir.path() / "disk", 32 * 512);
  LoopDevice loop(dir.path() / "disk");
  if (loop.path.empty()) GTEST_SKIP() << "no loop block device on this machine";
  std::filesystem::create_symlink(loop.path, f.Drive('E'));
  f.model.state.DevicePath = "E:";
  SectorBytes buf{};
  EXPECT_TRUE(ReadSector(f.model, 31, buf).ok && buf == Slice(data, 31));
  EXPECT_FALSE(WriteSector(f.model, "E:", 32, buf, buf).ok);
  ExpectBoxes(f.prompter, {"Write refused on Device E:, sector 32" + kPastEnd}, 48);
  int holder = ::open(loop.path.c_str(), O_RDONLY | O_EXCL);
  ASSERT_GE(holder, 0);
  EXPECT_TRUE(ReadSector(f.model, 2, buf).ok && buf == Slice(data, 2));
  EXPECT_FALSE(WriteSector(f.model, "E:", 3, Slice(data, 3), Filled(8)).ok);
  ::close(holder);
  ExpectBoxes(f.prompter,
              {"Write refused on Device E:, sector 3: the device is in use by a mounted file "
               "system or another program. Unmount it first, then try again."},
              48);
  EXPECT_TRUE(WriteSector(f.model, "E:", 2, buf, Filled(9)).ok);
  std::fill_n(data.begin() + 2 * 512, 512, 9);
  EXPECT_EQ(WholeFile(dir.path() / "disk"), data);
}

}  // namespace
}  // namespace dulvex::testing
