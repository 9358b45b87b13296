// The device layer on a part sector at the end and on numbers no medium has, and the write
// path's guards: loop devices over an image, the check at the medium past the page cache, and
// a cause named for each failure. All else (whole sectors, sparse, block devices, what is not
// a volume) is tested through the sector routines in sector_io_test.
#include "device/sector_device.h"

#include <gtest/gtest.h>

#include <limits>

#include "app/sector_io.h"
#include "device/fault_injection.h"
#include "device/medium_reader.h"
#include "device/write_path.h"
#include "journal/journal.h"
#include "support/device_test_support.h"

namespace dulvex::testing {
namespace {

using device::IoStatus;
using device::ReadSectorAt;

// A write log that keeps what it was told; it refuses the write when `refusal` is set.
struct TestLog : device::WriteLog {
  std::string refusal;
  int begun = 0, ended = 0;
  std::string Begin(const device::PendingWrite&) override { return ++begun, refusal; }
  bool End(const device::WriteResult&) override { return ++ended, true; }
};

TEST(SectorDevice, PartSectorsAndNumbersNoMediumHasAreNeitherReadNorWritten) {
  TempDir dir;
  auto file = dir.path() / "short";
  auto data = MakePatternImage(file, 700);
  Sector got = Filled(0xEE);
  EXPECT_EQ(ReadSectorAt(file, 1, got.data()).status, IoStatus::ShortTransfer);
  TestLog log;
  EXPECT_EQ(device::WriteSectorChecked(file, 1, got, got, log).status, IoStatus::PastEnd);
  for (std::int64_t n : {std::int64_t{-1}, std::numeric_limits<std::int64_t>::min(),
                         std::numeric_limits<std::int64_t>::max()}) {
    EXPECT_EQ(ReadSectorAt(file, n, got.data()).status, IoStatus::PastEnd) << n;
    EXPECT_EQ(device::WriteSectorChecked(file, n, got, got, log).status, IoStatus::PastEnd) << n;
  }
  EXPECT_EQ(log.begun, 0);
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
  device::ClearReadFaults();
  EXPECT_TRUE(ReadSectorAt(file, 2, sector.data()).ok());
}

// The newest record of the fixture's journal.
journal::Record LastRecord(WindowModel& m) {
  std::vector<journal::Summary> newest;
  journal::Record r;
  EXPECT_TRUE(JournalOf(m).Page("", 0, 1, &newest).ok() && newest.size() == 1 &&
              JournalOf(m).Get(newest[0].id, &r).ok());
  return r;
}

// An image under loop devices is refused, naming them, while reading it stays allowed; once
// they are detached the write goes through.
TEST(WritePath, AnImageUnderALoopDeviceIsNotWritten) {
  ModelFixture f;
  auto data = MakePatternImage(f.Drive('A'), 8 * 512);
  f.model.state.DevicePath = "A:";
  {
    LoopDevice one(f.Drive('A')), two(f.Drive('A'));
    if (two.path.empty()) GTEST_SKIP() << "no loop block devices here: loop-device guard untested";
    Sector buf{};
    EXPECT_TRUE(ReadSector(f.model, 3, buf).ok);
    EXPECT_EQ(WriteSector(f.model, "A:", 3, buf, Filled(1)).status, IoStatus::LoopAttached);
    const auto [first, second] = std::minmax(one.path, two.path);
    EXPECT_EQ(
        f.prompter.shown.at(0).text,
        "Write refused on Device A:, sector 3: its image file is attached to the loop device " +
            first + ", " + second + ". Unmount and detach it first (umount, then losetup -d " +
            first + "), then try again. Nothing was written.");
    EXPECT_EQ(WholeFile(f.Drive('A')), data);
  }
  EXPECT_TRUE(WriteSector(f.model, "A:", 3, Slice(data, 3), Filled(1)).ok);
}

// The medium loses the write behind the block device's page cache (the loop device's backing
// file gets the old bytes back): read back at the medium, the loss shows and is journalled.
TEST(WritePath, TheCheckAtTheMediumSeesPastThePageCache) {
  ModelFixture f;
  TempDir dir;
  const auto disk = dir.path() / "disk";
  auto data = MakePatternImage(disk, 8 * 512);
  LoopDevice loop(disk);
  if (loop.path.empty()) GTEST_SKIP() << "no loop block device here: check at the medium untested";
  std::filesystem::create_symlink(loop.path, f.Drive('E'));
  const Sector old = Slice(data, 5), meant = Filled(0x99);
  device::SetAfterFlushHookForTest(
      [&] { PokeBytes(disk, 5, 0, std::vector<std::uint8_t>(old.begin(), old.end())); });
  const TransferResult r = WriteSector(f.model, "E:", 5, old, meant);
  device::SetAfterFlushHookForTest(nullptr);
  int differing = 0;
  for (std::size_t i = 0; i < 512; ++i) differing += old[i] != meant[i];
  EXPECT_EQ(r.status, IoStatus::Mismatch);
  EXPECT_EQ(f.prompter.shown.at(0).text,
            "THE DEVICE DID NOT KEEP WHAT WAS WRITTEN ON SECTOR 5: READ BACK, " +
                std::to_string(differing) +
                " OF 512 BYTES DIFFER (THE FIRST AT OFFSET 0). THE GRID SHOWS WHAT THE DEVICE "
                "HOLDS NOW.");
  const journal::Record rec = LastRecord(f.model);
  EXPECT_EQ(rec.state, journal::State::Failed);
  EXPECT_EQ(rec.cause, "read back with O_DIRECT, " + std::to_string(differing) +
                           " of 512 bytes differ (the first at offset 0)");
}

// Each failure names its own cause (no space left, a read-only file system), and where the
// file system refuses O_DIRECT the journal says how the sector was read back instead.
TEST(WritePath, EachFailureNamesItsCause) {
  ModelFixture f;
  TestMount small(f.dir.path() / "small"), ram(f.dir.path() / "ram", "ramfs");
  if (!small.ok || !ram.ok) GTEST_SKIP() << "cannot mount a tmpfs or ramfs here: causes untested";
  MakeZeroImage(small.path / "image", 1024);
  std::filesystem::create_symlink(small.path / "image", f.Drive('A'));
  small.Fill();
  EXPECT_FALSE(WriteSector(f.model, "A:", 100, Filled(0), Filled(1)).ok);
  EXPECT_EQ(LastRecord(f.model).cause, "no space left on the file system that holds it");
  ASSERT_TRUE(small.Remount("ro"));
  EXPECT_FALSE(WriteSector(f.model, "A:", 100, Filled(0), Filled(1)).ok);
  EXPECT_EQ(f.prompter.shown.size(), 2u);
  EXPECT_EQ(f.prompter.shown[0].text,
            "Write Error on Device A:, sector 100: no space left on the file system that holds "
            "it. The sector may not hold what was meant.");
  EXPECT_EQ(f.prompter.shown[1].text,
            "Write refused on Device A:, sector 100: the medium or its file system is "
            "read-only. Nothing was written.");

  MakeZeroImage(ram.path / "image", 4);
  std::filesystem::create_symlink(ram.path / "image", f.Drive('B'));
  EXPECT_TRUE(WriteSector(f.model, "B:", 2, Filled(0), Filled(7)).ok);
  EXPECT_EQ(ReadBytes(ram.path / "image", 2, 0, 512), std::vector<std::uint8_t>(512, 7));
  EXPECT_EQ(LastRecord(f.model).cause, "read back after dropping the page cache");
}

}  // namespace
}  // namespace dulvex::testing
