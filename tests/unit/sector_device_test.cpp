// The device layer on a part sector at the end and on numbers no medium has. All else of it
// (whole sectors, sparse, read-only, block devices, what is not a volume) is tested through
// the sector routines in sector_io_test.
#include "device/sector_device.h"

#include <gtest/gtest.h>

#include <limits>

#include "device/fault_injection.h"
#include "device/medium_reader.h"
#include "support/device_test_support.h"

namespace dulvex::testing {
namespace {

using device::IoStatus;
using device::ReadSectorAt;
using device::WriteSectorAt;

TEST(SectorDevice, PartSectorsAndNumbersNoMediumHasAreNeitherReadNorWritten) {
  TempDir dir;
  auto file = dir.path() / "short";
  auto data = MakePatternImage(file, 700);
  Sector got = Filled(0xEE);
  EXPECT_EQ(ReadSectorAt(file, 1, got.data()).status, IoStatus::ShortTransfer);
  EXPECT_EQ(WriteSectorAt(file, 1, got.data()).status, IoStatus::PastEnd);
  for (std::int64_t n : {std::int64_t{-1}, std::numeric_limits<std::int64_t>::min(),
                         std::numeric_limits<std::int64_t>::max()}) {
    EXPECT_EQ(ReadSectorAt(file, n, got.data()).status, IoStatus::PastEnd) << n;
    EXPECT_EQ(WriteSectorAt(file, n, got.data()).status, IoStatus::PastEnd) << n;
  }
  EXPECT_EQ(got, Filled(0xEE));
  EXPECT_EQ(WholeFile(file), data);
}

// Large reads stop at the end of the medium; an injected fault fails every read that touches
// its sectors, through any name of the medium, and nothing else.
TEST(SectorDevice, LargeReadsAndInjectedFaults) {
  TempDir dir;
  auto file = dir.path() / "image";
  auto data = MakePatternImage(file, 4 * 512 + 100);
  std::filesystem::create_symlink(file, dir.path() / "link");
  device::MediumReader reader;
  ASSERT_TRUE(reader.Open(dir.path() / "link").ok());
  EXPECT_EQ(reader.size(), data.size());
  std::vector<std::uint8_t> out(4096);
  std::size_t got = 0;
  EXPECT_TRUE(reader.Read(1000, out.data(), out.size(), &got).ok());
  EXPECT_EQ(got, data.size() - 1000);
  EXPECT_TRUE(std::equal(data.begin() + 1000, data.end(), out.begin()));
  EXPECT_EQ(reader.Read(data.size(), out.data(), 1, &got).status, IoStatus::PastEnd);

  ASSERT_TRUE(device::InjectReadFault(file, 2, 2));
  EXPECT_EQ(reader.Read(900, out.data(), 124, &got).status, IoStatus::Ok);
  EXPECT_EQ(reader.Read(1023, out.data(), 2, &got).status, IoStatus::IoError);
  EXPECT_EQ(got, 0u);
  Sector sector{};
  EXPECT_EQ(ReadSectorAt(dir.path() / "link", 2, sector.data()).status, IoStatus::IoError);
  EXPECT_TRUE(ReadSectorAt(file, 3, sector.data()).ok());
  device::ClearReadFaults();
  EXPECT_TRUE(ReadSectorAt(file, 2, sector.data()).ok());
}

}  // namespace
}  // namespace dulvex::testing
