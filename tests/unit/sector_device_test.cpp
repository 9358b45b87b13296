// The device layer on a part sector at the end and on numbers no medium has. All else of it
// (whole sectors, sparse, read-only, block devices, what is not a volume) is tested through
// the sector routines in sector_io_test.
#include "device/sector_device.h"

#include <gtest/gtest.h>

#include <limits>

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

}  // namespace
}  // namespace dulvex::testing
