// The device layer on real files: drive letters, positioned reads and writes, the end of
// the medium, sparse images, files that are not volumes, and a loop block device.
#include "device/sector_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <limits>

#include "support/device_test_support.h"
#include "support/test_support.h"

namespace dulvex::testing {
namespace {

using device::IoStatus;
using device::ReadSectorAt;
using device::WriteSectorAt;
using Sector = std::array<std::uint8_t, 512>;

Sector Filled(std::uint8_t value) {
  Sector s;
  s.fill(value);
  return s;
}

Sector Slice(const std::vector<std::uint8_t>& data, std::uint64_t sector) {
  Sector s;
  std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(sector * 512), 512, s.begin());
  return s;
}

TEST(DriveFile, LettersAToRNameEntriesOfTheDrivesFolder) {
  const std::filesystem::path drives = "/x/drives";
  EXPECT_EQ(device::DriveFile(drives, "A:"), drives / "A");
  EXPECT_EQ(device::DriveFile(drives, "R:"), drives / "R");
  for (const char* bad : {"", "S:", "Z:", "a:", "A", "AB:", "A:\\", ":", "@:", "A:/", "..", "/"}) {
    EXPECT_TRUE(device::DriveFile(drives, bad).empty()) << '"' << bad << '"';
  }
}

constexpr std::uint64_t kSectors = 40;

struct PatternImage : ::testing::Test {
  TempDir dir;
  std::filesystem::path file = dir.path() / "image";
  std::vector<std::uint8_t> data = MakePatternImage(file, kSectors * 512);
};

TEST_F(PatternImage, ReadsSectorsZeroOneAndTheLast) {
  for (std::uint64_t n : {std::uint64_t{0}, std::uint64_t{1}, kSectors - 1}) {
    Sector got = Filled(0xEE);
    ASSERT_TRUE(ReadSectorAt(file, static_cast<std::int64_t>(n), got.data()).ok()) << n;
    EXPECT_EQ(got, Slice(data, n)) << n;
  }
}

TEST_F(PatternImage, ReadPastTheEndFailsAndLeavesTheBufferAlone) {
  for (std::int64_t n :
       {std::int64_t{40}, std::int64_t{41}, std::int64_t{2000000000}, std::int64_t{-1},
        std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()}) {
    Sector got = Filled(0xEE);
    device::IoResult r = ReadSectorAt(file, n, got.data());
    EXPECT_EQ(r.status, IoStatus::PastEnd) << n;
    EXPECT_EQ(got, Filled(0xEE)) << n;
  }
}

TEST_F(PatternImage, WriteLandsOnItsSectorAndNowhereElse) {
  for (std::uint64_t n : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{17}, kSectors - 1}) {
    Sector in;
    for (std::size_t i = 0; i < 512; ++i) in[i] = static_cast<std::uint8_t>(i * 7 + n);
    ASSERT_TRUE(WriteSectorAt(file, static_cast<std::int64_t>(n), in.data()).ok()) << n;
    std::copy(in.begin(), in.end(), data.begin() + static_cast<std::ptrdiff_t>(n * 512));
    EXPECT_EQ(WholeFile(file), data) << "after writing sector " << n;
  }
}

TEST_F(PatternImage, WritePastTheEndIsRefusedAndTheFileStaysAsItWas) {
  const Sector in = Filled(0x5A);
  for (std::int64_t n : {std::int64_t{40}, std::int64_t{41}, std::int64_t{2000000000},
                         std::int64_t{-1}, std::numeric_limits<std::int64_t>::max()}) {
    EXPECT_EQ(WriteSectorAt(file, n, in.data()).status, IoStatus::PastEnd) << n;
  }
  EXPECT_EQ(std::filesystem::file_size(file), kSectors * 512);
  EXPECT_EQ(WholeFile(file), data);
}

TEST(SectorDevice, APartSectorAtTheEndIsNeitherReadNorWritten) {
  TempDir dir;
  auto file = dir.path() / "short";
  auto data = MakePatternImage(file, 700);
  Sector got = Filled(0xEE);
  EXPECT_EQ(ReadSectorAt(file, 1, got.data()).status, IoStatus::ShortTransfer);
  EXPECT_EQ(got, Filled(0xEE));
  EXPECT_EQ(WriteSectorAt(file, 1, Filled(1).data()).status, IoStatus::PastEnd);
  EXPECT_EQ(WholeFile(file), data);
}

TEST(SectorDevice, SectorTwoBillionOfASparseTebibyteImage) {
  TempDir dir;
  auto file = dir.path() / "tib";
  MakeZeroImage(file, std::uint64_t{1} << 31);  // 2^31 sectors = 1 TiB
  constexpr std::int64_t n = 2000000000;
  Sector got = Filled(0xEE);
  ASSERT_TRUE(ReadSectorAt(file, n, got.data()).ok());
  EXPECT_EQ(got, Filled(0));

  PokeBytes(file, n, 0, {0xEB, 0x3C, 0x90});
  ASSERT_TRUE(ReadSectorAt(file, n, got.data()).ok());
  EXPECT_EQ(got[0], 0xEB);
  EXPECT_EQ(got[2], 0x90);

  ASSERT_TRUE(WriteSectorAt(file, n, Filled(0xA5).data()).ok());
  EXPECT_EQ(ReadBytes(file, n - 1, 511, 1), std::vector<std::uint8_t>{0});
  EXPECT_EQ(ReadBytes(file, n, 0, 512), std::vector<std::uint8_t>(512, 0xA5));
  EXPECT_EQ(ReadBytes(file, n + 1, 0, 1), std::vector<std::uint8_t>{0});
  EXPECT_EQ(std::filesystem::file_size(file), std::uint64_t{1} << 40);
}

TEST(SectorDevice, ThingsThatAreNotVolumesFailToOpen) {
  TempDir dir;
  auto folder = dir.path() / "folder";
  std::filesystem::create_directory(folder);
  auto fifo = dir.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const auto& file : {std::filesystem::path{}, dir.path() / "missing", folder, fifo}) {
    Sector got = Filled(0xEE);
    EXPECT_EQ(ReadSectorAt(file, 0, got.data()).status, IoStatus::OpenFailed) << file;
    EXPECT_EQ(WriteSectorAt(file, 0, got.data()).status, IoStatus::OpenFailed) << file;
    EXPECT_EQ(got, Filled(0xEE)) << file;
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST(SectorDevice, ReadOnlyFileReadsButRefusesWrites) {
  TempDir dir;
  auto file = dir.path() / "ro";
  auto data = MakePatternImage(file, 8 * 512);
  ReadOnlyFile guard(file);
  if (!guard.ok()) GTEST_SKIP() << "cannot make a read-only file here: " << guard.reason;
  Sector got{};
  ASSERT_TRUE(ReadSectorAt(file, 3, got.data()).ok());
  EXPECT_EQ(got, Slice(data, 3));
  EXPECT_EQ(WriteSectorAt(file, 3, Filled(0).data()).status, IoStatus::OpenFailed);
  EXPECT_EQ(WholeFile(file), data);
}

TEST(SectorDevice, LoopBlockDevice) {
  TempDir dir;
  auto image = dir.path() / "disk";
  auto data = MakePatternImage(image, 64 * 512);
  LoopDevice loop(image);
  if (loop.path.empty()) GTEST_SKIP() << "no loop block device on this machine";

  Sector got{};
  ASSERT_TRUE(ReadSectorAt(loop.path, 63, got.data()).ok());
  EXPECT_EQ(got, Slice(data, 63));
  EXPECT_EQ(ReadSectorAt(loop.path, 64, got.data()).status, IoStatus::PastEnd);
  EXPECT_EQ(WriteSectorAt(loop.path, 64, got.data()).status, IoStatus::PastEnd);

  // While another program holds the device exclusively (as a mount does), writing is
  // refused as busy; reading stays shared.
  int holder = ::open(loop.path.c_str(), O_RDONLY | O_EXCL);
  ASSERT_GE(holder, 0);
  EXPECT_EQ(WriteSectorAt(loop.path, 5, Filled(0x11).data()).status, IoStatus::Busy);
  EXPECT_TRUE(ReadSectorAt(loop.path, 5, got.data()).ok());
  ::close(holder);

  ASSERT_TRUE(WriteSectorAt(loop.path, 5, Filled(0x11).data()).ok());
  std::fill_n(data.begin() + 5 * 512, 512, 0x11);
  EXPECT_EQ(WholeFile(image), data);
}

}  // namespace
}  // namespace dulvex::testing
