// The three sector routines as the handlers use them: results, buffers and the message
// boxes they show, on real image files behind drive letters.
#include "app/sector_io.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <limits>

#include "support/device_test_support.h"
#include "support/test_support.h"

namespace dulvex::testing {
namespace {

SectorBytes Filled(std::uint8_t value) {
  SectorBytes s;
  s.fill(value);
  return s;
}

SectorBytes Slice(const std::vector<std::uint8_t>& data, std::uint64_t sector) {
  SectorBytes s;
  std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(sector * 512), 512, s.begin());
  return s;
}

void ExpectOneBox(const ScriptedPrompter& p, const std::string& text, int style) {
  ASSERT_EQ(p.shown.size(), 1u);
  EXPECT_EQ(p.shown[0].text, text);
  EXPECT_EQ(p.shown[0].style, style);
  EXPECT_EQ(p.shown[0].title, AppTitle());
  EXPECT_FALSE(AppTitle().empty());
}

constexpr std::int64_t kSectors = 24;

// Drive A: holds a pattern image of 24 sectors and is chosen.
struct SectorIo : ::testing::Test {
  ModelFixture f;
  std::vector<std::uint8_t> data = MakePatternImage(f.Drive('A'), kSectors * 512);
  SectorIo() { f.model.state.DevicePath = "A:"; }
};

TEST_F(SectorIo, ReadsTheSectorAndCountsPositioningSteps) {
  struct Case {
    std::int64_t n;
    std::uint64_t sector;
    std::int32_t count;
  };
  for (Case c : {Case{0, 0, 0}, Case{1, 1, 1}, Case{kSectors - 1, kSectors - 1, kSectors - 1},
                 Case{-5, 0, 0}, Case{-2147483647, 0, 0}}) {
    SectorBytes buf = Filled(0xEE);
    TransferResult r = ReadSector(f.model, c.n, buf);
    EXPECT_TRUE(r.ok) << c.n;
    EXPECT_EQ(r.count, c.count) << c.n;
    EXPECT_EQ(buf, Slice(data, c.sector)) << c.n;
  }
  EXPECT_TRUE(f.prompter.shown.empty());
}

TEST_F(SectorIo, LeggiMbrFillsTheBootSectorBuffer) {
  EXPECT_TRUE(Leggi_MBR(f.model));
  EXPECT_EQ(f.model.state.BootSectorBuffer, Slice(data, 0));
  EXPECT_TRUE(f.prompter.shown.empty());
}

TEST_F(SectorIo, ReadPastTheEndIsReportedAndLeavesTheBufferAlone) {
  SectorBytes buf = Filled(0xEE);
  TransferResult r = ReadSector(f.model, kSectors, buf);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.count, kSectors);
  EXPECT_EQ(buf, Filled(0xEE));
  ExpectOneBox(f.prompter,
               "Read Error on Device A:, sector 24: the sector lies past the end of the medium.",
               48);
}

TEST_F(SectorIo, WriteLandsExactlyOnSectorNAndNowhereElse) {
  const SectorBytes boot = f.model.state.BootSectorBuffer = Filled(0x77);
  for (std::int64_t n : {std::int64_t{0}, std::int64_t{1}, std::int64_t{3}, kSectors - 1}) {
    SectorBytes in;
    for (std::size_t i = 0; i < 512; ++i) in[i] = static_cast<std::uint8_t>(255 - i - n);
    TransferResult r = WriteSector(f.model, n, in);
    EXPECT_TRUE(r.ok) << n;
    EXPECT_EQ(r.count, n) << n;
    std::copy(in.begin(), in.end(), data.begin() + n * 512);
    EXPECT_EQ(WholeFile(f.Drive('A')), data) << "after writing sector " << n;
  }
  EXPECT_EQ(f.model.state.BootSectorBuffer, boot);
  EXPECT_TRUE(f.prompter.shown.empty());
}

TEST_F(SectorIo, NegativeWriteGoesToSectorZero) {
  TransferResult r = WriteSector(f.model, -5, Filled(0x42));
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.count, 0);
  std::fill_n(data.begin(), 512, 0x42);
  EXPECT_EQ(WholeFile(f.Drive('A')), data);
}

TEST_F(SectorIo, WritePastTheEndIsRefusedAndTheImageStaysAsItWas) {
  for (std::int64_t n : {kSectors, kSectors + 1, std::int64_t{2147483647}}) {
    f.prompter.shown.clear();
    TransferResult r = WriteSector(f.model, n, Filled(0x42));
    EXPECT_FALSE(r.ok) << n;
    EXPECT_EQ(r.count, n) << n;
    ExpectOneBox(f.prompter,
                 "Write refused on Device A:, sector " + std::to_string(n) +
                     ": the sector lies past the end of the medium. Nothing was written.",
                 48);
  }
  EXPECT_EQ(std::filesystem::file_size(f.Drive('A')), static_cast<std::uintmax_t>(kSectors * 512));
  EXPECT_EQ(WholeFile(f.Drive('A')), data);
}

// Numbers that are not 32-bit sector numbers are refused before any device is opened: with
// a letter that has nothing behind it the only box is the refusal, not an open error.
TEST(SectorIoRange, OutOfRangeNumbersAreRefusedBeforeOpening) {
  for (char letter : {'A', 'R'}) {
    ModelFixture f;
    auto data = MakePatternImage(f.Drive('A'), 4 * 512);
    f.model.state.DevicePath = std::string(1, letter) + ":";
    for (std::int64_t n :
         {std::int64_t{2147483648}, std::int64_t{-2147483648},
          std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min()}) {
      f.prompter.shown.clear();
      SectorBytes buf = Filled(0xEE);
      TransferResult r = ReadSector(f.model, n, buf);
      EXPECT_FALSE(r.ok);
      EXPECT_EQ(r.count, 0);
      EXPECT_EQ(buf, Filled(0xEE));
      ExpectOneBox(f.prompter,
                   "Read refused: sector number " + std::to_string(n) +
                       " is out of range (sector numbers go from -2147483647 to 2147483647).",
                   48);
      f.prompter.shown.clear();
      r = WriteSector(f.model, n, buf);
      EXPECT_FALSE(r.ok);
      EXPECT_EQ(r.count, 0);
      ExpectOneBox(f.prompter,
                   "Write refused: sector number " + std::to_string(n) +
                       " is out of range (sector numbers go from -2147483647 to 2147483647).",
                   48);
    }
    EXPECT_EQ(WholeFile(f.Drive('A')), data);
  }
}

TEST(SectorIoSparse, SectorTwoBillionOfATebibyteImage) {
  ModelFixture f;
  MakeZeroImage(f.Drive('C'), std::uint64_t{1} << 31);
  f.model.state.DevicePath = "C:";
  constexpr std::int64_t n = 2000000000;
  PokeBytes(f.Drive('C'), n, 510, {0x55, 0xAA});
  SectorBytes buf = Filled(0xEE);
  TransferResult r = ReadSector(f.model, n, buf);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.count, n);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(buf[510], 0x55);
  EXPECT_EQ(buf[511], 0xAA);

  r = WriteSector(f.model, n, Filled(0xC3));
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.count, n);
  EXPECT_EQ(ReadBytes(f.Drive('C'), n - 1, 511, 1), std::vector<std::uint8_t>{0});
  EXPECT_EQ(ReadBytes(f.Drive('C'), n, 0, 512), std::vector<std::uint8_t>(512, 0xC3));
  EXPECT_EQ(ReadBytes(f.Drive('C'), n + 1, 0, 1), std::vector<std::uint8_t>{0});
  EXPECT_EQ(std::filesystem::file_size(f.Drive('C')), std::uint64_t{1} << 40);
  EXPECT_TRUE(f.prompter.shown.empty());
}

TEST(SectorIoReadOnly, ReadsWorkAndTheWriteIsRefusedWithItsMessage) {
  ModelFixture f;
  auto data = MakePatternImage(f.Drive('A'), 8 * 512);
  ReadOnlyFile guard(f.Drive('A'));
  if (!guard.ok()) GTEST_SKIP() << "cannot make a read-only file here: " << guard.reason;
  f.model.state.DevicePath = "A:";
  EXPECT_TRUE(Leggi_MBR(f.model));
  EXPECT_EQ(f.model.state.BootSectorBuffer, Slice(data, 0));
  SectorBytes buf{};
  EXPECT_TRUE(ReadSector(f.model, 5, buf).ok);
  EXPECT_EQ(buf, Slice(data, 5));
  EXPECT_TRUE(f.prompter.shown.empty());

  TransferResult r = WriteSector(f.model, 5, Filled(0));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.count, 0);
  ExpectOneBox(f.prompter, "Errore nell'apertura del device A:", 0);
  EXPECT_EQ(WholeFile(f.Drive('A')), data);
}

// Each routine shows its own open-failure message, exactly, and leaves its array alone.
TEST(SectorIoOpenFailure, EachRoutineShowsItsOwnMessage) {
  for (std::string device : {"", "R:"}) {
    SCOPED_TRACE("DevicePath \"" + device + "\"");
    ModelFixture f;
    f.model.state.DevicePath = device;
    f.model.state.BootSectorBuffer = Filled(0x31);

    EXPECT_FALSE(Leggi_MBR(f.model));
    EXPECT_EQ(f.model.state.BootSectorBuffer, Filled(0x31));
    ExpectOneBox(f.prompter, device + " IS A BAD DEVICE/VOLUME.", 48);

    f.prompter.shown.clear();
    SectorBytes buf = Filled(0xEE);
    TransferResult r = ReadSector(f.model, 7, buf);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(buf, Filled(0xEE));
    ExpectOneBox(f.prompter, "Open Error on Device " + device, 0);

    f.prompter.shown.clear();
    r = WriteSector(f.model, 7, buf);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.count, 0);
    ExpectOneBox(f.prompter, "Errore nell'apertura del device " + device, 0);
    EXPECT_FALSE(std::filesystem::exists(f.Drive('R')));
  }
}

TEST(SectorIoBlockDevice, BusyDeviceIsRefusedWithAnUnmountMessage) {
  ModelFixture f;
  TempDir dir;
  auto data = MakePatternImage(dir.path() / "disk", 32 * 512);
  LoopDevice loop(dir.path() / "disk");
  if (loop.path.empty()) GTEST_SKIP() << "no loop block device on this machine";
  std::filesystem::create_symlink(loop.path, f.Drive('E'));
  f.model.state.DevicePath = "E:";

  int holder = ::open(loop.path.c_str(), O_RDONLY | O_EXCL);
  ASSERT_GE(holder, 0);
  SectorBytes buf{};
  EXPECT_TRUE(ReadSector(f.model, 2, buf).ok);
  EXPECT_EQ(buf, Slice(data, 2));
  TransferResult r = WriteSector(f.model, 2, Filled(9));
  ::close(holder);
  EXPECT_FALSE(r.ok);
  ExpectOneBox(f.prompter,
               "Write refused on Device E:, sector 2: the device is in use by a mounted file "
               "system or another program. Unmount it first, then try again.",
               48);
  EXPECT_EQ(WholeFile(dir.path() / "disk"), data);
}

}  // namespace
}  // namespace dulvex::testing
