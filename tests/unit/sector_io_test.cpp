// Sector I/O on image files, sparse files and loop block devices behind drive letters: the
// three sector routines as the handlers use them (results, buffers, the message boxes they
// show); beneath them the device layer on a part sector at the end, on numbers no medium has,
// on large reads and injected faults; and the write path's guards (loop devices over an
// image, the check at the medium past the page cache, a cause named for each failure).
#include "sectorio/sector_io.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <limits>
#include <new>
#include <vector>

#include "device/medium_reader.h"
#include "device/sector_device.h"
#include "device/write_path.h"
#include "journal/journal.h"
#include "support/device_test_support.h"

namespace dulvex::testing {
namespace {

using device::ReadSectorAt;

// The boxes shown since the last call: these texts, each with this style and the title.
void ExpectBoxes(ScriptedPrompter& p, const std::vector<std::string>& texts, int style = 48) {
  ASSERT_EQ(p.shown.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(p.shown[i].text, texts[i]);
    EXPECT_TRUE(p.shown[i].style == style && p.shown[i].title == AppTitle()) << texts[i];
  }
  p.shown.clear();
}

// The count of records in the fixture's journal.
std::int64_t Records(WindowModel& m) {
  std::int64_t n = 0;
  EXPECT_TRUE(JournalOf(m).Count("", &n).ok());
  return n;
}

constexpr std::int64_t kSectors = 24;
const std::string kPastEnd = ": the sector lies past the end of the medium. Nothing was written.";

// Drive A: holds a pattern image of 24 sectors and is chosen.
struct SectorIo : ::testing::Test {
  ModelFixture f;
  std::vector<std::uint8_t> data = MakePatternImage(f.Drive('A'), kSectors * 512);
  SectorIo() { f.model.state.DevicePath = "A:"; }
};

// The window is busy (clicks, keys and typing refused) from the start of long work until its
// handler runs, which may ask and act again; a work that throws ends as failed, the window free.
TEST(WindowModelWork, BusyFromTheWorkUntilItsHandler) {
  ModelFixture f;
  std::vector<bool> seen;
  f.model.runner().Run(
      "Work", WorkUnit::Items, [&](WorkProgress&) { seen.push_back(f.model.busy); },
      [&](const WorkResult&) { seen.push_back(f.model.busy); });
  f.model.runner().Run(
      "Work", WorkUnit::Items, [](WorkProgress&) { throw std::bad_alloc(); },
      [&](const WorkResult& r) { seen.push_back(r.outcome == WorkOutcome::Failed); });
  seen.push_back(f.model.busy);
  EXPECT_EQ(seen, (std::vector<bool>{true, false, true, false}));
}

// Reads and writes land on their sector (a negative number on sector 0) and nowhere else;
// each write leaves its record in the journal.
TEST_F(SectorIo, ReadsAndWritesLandExactlyOnTheirSector) {
  const SectorBytes boot = f.model.state.BootSectorBuffer = Filled(0x77);
  for (std::int64_t n : {std::int64_t{0}, std::int64_t{1}, kSectors - 1, std::int64_t{-5}}) {
    const std::int64_t target = std::max<std::int64_t>(n, 0);
    SectorBytes buf = Filled(0xEE), in;
    TransferResult r = ReadSector(f.model, n, buf);
    EXPECT_TRUE(r.ok() && r.count == target && buf == Slice(data, target)) << n;
    for (std::size_t i = 0; i < 512; ++i) in[i] = static_cast<std::uint8_t>(255 - i - n);
    r = WriteSector(f.model, "A:", n, buf, in);
    EXPECT_TRUE(r.ok() && r.count == target) << n;
    std::copy(in.begin(), in.end(), data.begin() + target * 512);
    EXPECT_EQ(WholeFile(f.Drive('A')), data) << "after writing sector " << n;
  }
  EXPECT_TRUE(f.model.state.BootSectorBuffer == boot && f.prompter.shown.empty());
  EXPECT_TRUE(Leggi_MBR(f.model).ok() && f.model.state.BootSectorBuffer == Slice(data, 0));
  EXPECT_EQ(Records(f.model), 4);
  journal::Record last;
  EXPECT_TRUE(JournalOf(f.model).Get(4, &last).ok());
  EXPECT_EQ(last.target, std::filesystem::canonical(f.Drive('A')).string());
}

// An image another window of the program is writing (it holds the image's lock) is refused
// for as long as it does, before anything is recorded.
TEST_F(SectorIo, AnImageAnotherWindowWritesIsRefused) {
  const int other = ::open(f.Drive('A').c_str(), O_RDWR);
  ASSERT_EQ(::flock(other, LOCK_EX), 0);
  EXPECT_EQ(WriteSector(f.model, "A:", 1, Slice(data, 1), Filled(1)).status.cause, Cause::Locked);
  ::close(other);
  ExpectBoxes(f.prompter,
              {"Write refused on Device A:, sector 1: another window of this program, or another "
               "program, is writing to it. Nothing was written."});
  EXPECT_EQ(Records(f.model), 0);
  EXPECT_TRUE(WriteSector(f.model, "A:", 1, Slice(data, 1), Filled(1)).ok());
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
    EXPECT_TRUE(!r.ok() && !w.ok() && r.count == 0 && w.count == 0 && buf == Filled(0xEE)) << n;
    ExpectBoxes(f.prompter, {"Read refused:" + range, "Write refused:" + range});
  }
  for (std::int64_t n : {kSectors, std::int64_t{2147483647}}) {
    TransferResult r = WriteSector(f.model, "A:", n, Filled(0), Filled(0x42));
    EXPECT_TRUE(!r.ok() && r.count == n) << n;
    ExpectBoxes(f.prompter, {"Write refused on Device A:, sector " + std::to_string(n) + kPastEnd});
  }
  EXPECT_EQ(WholeFile(f.Drive('A')), data);
}

// Offsets past 32 bits: sector 2,000,000,000 of a sparse 1 TiB image is read and written where
// it lies, and the image keeps its size. (That a write touches no neighbour: the test above.)
TEST_F(SectorIo, SectorTwoBillionOfATebibyteImage) {
  MakeZeroImage(f.Drive('C'), std::uint64_t{1} << 31);
  f.model.state.DevicePath = "C:";
  constexpr std::int64_t n = 2000000000;
  PokeBytes(f.Drive('C'), n, 510, {0x55, 0xAA});
  SectorBytes buf = Filled(0xEE);
  TransferResult r = ReadSector(f.model, n, buf);
  EXPECT_TRUE(r.ok() && r.count == n && buf[0] == 0 && buf[510] == 0x55 && buf[511] == 0xAA);
  r = WriteSector(f.model, "C:", n, buf, Filled(0xC3));
  EXPECT_TRUE(r.ok() && r.count == n);
  EXPECT_EQ(ReadBytes(f.Drive('C'), n, 0, 512), std::vector<std::uint8_t>(512, 0xC3));
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
    EXPECT_TRUE(!Leggi_MBR(f.model).ok() && f.model.state.BootSectorBuffer == Filled(0x31));
    ExpectBoxes(f.prompter, {device + " IS A BAD DEVICE/VOLUME."});
    SectorBytes buf = Filled(0xEE);
    TransferResult r = ReadSector(f.model, 7, buf);
    EXPECT_TRUE(!r.ok() && r.count == 0 && buf == Filled(0xEE)) << device;
    ExpectBoxes(f.prompter, {"Open Error on Device " + device}, 0);
    r = WriteSector(f.model, device, 7, buf, buf);
    EXPECT_TRUE(!r.ok() && r.count == 0) << device;
    ExpectBoxes(f.prompter, {"Errore nell'apertura del device " + device}, 0);
  }
  EXPECT_TRUE(!std::filesystem::exists(f.Drive('R')) && std::filesystem::is_empty(f.Drive('F')));
}

// Drive E: leads to a loop block device over a pattern image of 32 sectors, and is chosen.
struct LoopDrive : ::testing::Test {
  ModelFixture f;
  std::filesystem::path disk = f.dir.path() / "disk";
  std::vector<std::uint8_t> data = MakePatternImage(disk, std::uint64_t{32} * 512);
  LoopDevice loop{disk};
  void SetUp() override {
    if (loop.path.empty()) GTEST_SKIP() << "needs " << loop.missing;
    std::filesystem::create_symlink(loop.path, f.Drive('E'));
    f.model.state.DevicePath = "E:";
  }
};

// A loop device: its end is found, a write is refused while another program holds it
// exclusively (as a mount does), and once free a write lands on its sector alone.
TEST_F(LoopDrive, EndBusyRefusalAndExactWrite) {
  SectorBytes buf{};
  EXPECT_TRUE(ReadSector(f.model, 31, buf).ok() && buf == Slice(data, 31));
  EXPECT_FALSE(WriteSector(f.model, "E:", 32, buf, buf).ok());
  ExpectBoxes(f.prompter, {"Write refused on Device E:, sector 32" + kPastEnd});
  int holder = ::open(loop.path.c_str(), O_RDONLY | O_EXCL);
  ASSERT_GE(holder, 0);
  EXPECT_TRUE(ReadSector(f.model, 2, buf).ok() && buf == Slice(data, 2));
  EXPECT_FALSE(WriteSector(f.model, "E:", 3, Slice(data, 3), Filled(8)).ok());
  ::close(holder);
  ExpectBoxes(f.prompter,
              {"Write refused on Device E:, sector 3: the device is in use by a mounted file "
               "system or another program. Unmount it first, then try again."});
  EXPECT_TRUE(WriteSector(f.model, "E:", 2, buf, Filled(9)).ok());
  std::fill_n(data.begin() + std::ptrdiff_t{2} * 512, 512, 9);
  EXPECT_EQ(WholeFile(disk), data);
}

// A write log that counts the writes begun.
struct TestLog : device::WriteLog {
  int begun = 0;
  Status Begin(const device::PendingWrite&) override { return ++begun, Status{}; }
  bool End(const device::WriteResult&) override { return true; }
};

// The part sector at the end and numbers no medium has are neither read nor written (no write
// is even begun); large reads stop at the end of the medium; an injected fault fails every
// read that touches its sectors, through any name of the medium, and nothing else.
TEST(SectorDevice, PartSectorsLargeReadsAndInjectedFaults) {
  TempDir dir;
  auto file = dir.path() / "image";
  auto data = MakePatternImage(file, 4 * 512 + 100);
  Sector sector = Filled(0xEE);
  EXPECT_EQ(ReadSectorAt(file, 4, sector.data()).cause, Cause::ShortTransfer);
  TestLog log;
  EXPECT_EQ(device::WriteSectorChecked(file, 4, sector, sector, log).cause, Cause::PastEnd);
  for (std::int64_t n : {std::int64_t{-1}, std::numeric_limits<std::int64_t>::min(),
                         std::numeric_limits<std::int64_t>::max()}) {
    EXPECT_EQ(ReadSectorAt(file, n, sector.data()).cause, Cause::PastEnd) << n;
    EXPECT_EQ(device::WriteSectorChecked(file, n, sector, sector, log).cause, Cause::PastEnd);
  }
  EXPECT_TRUE(log.begun == 0 && sector == Filled(0xEE) && WholeFile(file) == data);
  std::filesystem::create_symlink(file, dir.path() / "link");
  TestIo io;
  device::MediumReader reader;
  ASSERT_TRUE(reader.Open(dir.path() / "link", io).ok());
  EXPECT_EQ(reader.size(), data.size());
  std::vector<std::uint8_t> out(4096);
  std::size_t got = 0;
  EXPECT_TRUE(reader.Read(1000, out.data(), out.size(), &got).ok());
  EXPECT_EQ(got, data.size() - 1000);
  EXPECT_TRUE(std::equal(data.begin() + 1000, data.end(), out.begin()));
  EXPECT_EQ(reader.Read(data.size(), out.data(), 1, &got).cause, Cause::PastEnd);

  ASSERT_TRUE(io.FailReads(file, 2, 2));
  EXPECT_EQ(reader.Read(900, out.data(), 124, &got).cause, Cause::Ok);
  EXPECT_EQ(reader.Read(1023, out.data(), 2, &got).cause, Cause::IoError);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(ReadSectorAt(dir.path() / "link", 2, sector.data(), io).cause, Cause::IoError);
  EXPECT_TRUE(ReadSectorAt(file, 1, sector.data(), io).ok() &&
              ReadSectorAt(file, 3, sector.data(), io).ok());
  io.ClearFaults();
  EXPECT_TRUE(ReadSectorAt(file, 2, sector.data(), io).ok());
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
TEST_F(SectorIo, AnImageUnderALoopDeviceIsNotWritten) {
  {
    LoopDevice one(f.Drive('A')), two(f.Drive('A'));
    if (two.path.empty()) GTEST_SKIP() << "needs " << two.missing << ": loop-device guard untested";
    Sector buf{};
    EXPECT_TRUE(ReadSector(f.model, 3, buf).ok());
    EXPECT_EQ(WriteSector(f.model, "A:", 3, buf, Filled(1)).status.cause, Cause::LoopAttached);
    const auto [first, second] = std::minmax(one.path, two.path);
    EXPECT_EQ(
        f.prompter.shown.at(0).text,
        "Write refused on Device A:, sector 3: its image file is attached to the loop devices " +
            first + ", " + second +
            ": a write to the file would go behind their back. Free them first (losetup -d " +
            first + "; losetup -d " + second + "), then try again. Nothing was written.");
    EXPECT_EQ(WholeFile(f.Drive('A')), data);
  }
  EXPECT_TRUE(WriteSector(f.model, "A:", 3, Slice(data, 3), Filled(1)).ok());
}

// E: leads to a loop device; another loop device over the same file is mounted. A write
// through E: would go behind that file system's back: it is refused, naming the other device
// with its mount and the commands that free it, until it is gone. (The letter naming the image
// itself: AnImageUnderALoopDeviceIsNotWritten.)
TEST_F(LoopDrive, ASiblingLoopDeviceOverTheSameFileIsNamedAndRefused) {
  const std::filesystem::path ext2 = f.dir.path() / "ext2";
  MakeZeroImage(ext2, 8192);
  ASSERT_TRUE(Quietly(std::string(tools::kMkfsExt2) + " -q -F '" + ext2.string() + "'"));
  LoopDevice one(ext2);
  auto sibling = std::make_unique<LoopDevice>(ext2);
  ASSERT_FALSE(sibling->path.empty());
  std::filesystem::remove(f.Drive('E'));
  std::filesystem::create_symlink(one.path, f.Drive('E'));
  auto mounted = std::make_unique<TestMount>(f.dir.path() / "mnt", "ext2", one.path);
  if (!mounted->ok) GTEST_SKIP() << "cannot mount an ext2 file system here: sibling untested";
  // E:'s own device mounted: the exclusive open fails, and the mount is named.
  EXPECT_EQ(WriteSector(f.model, "E:", 3, Slice(WholeFile(ext2), 3), Filled(1)).status.cause,
            Cause::Busy);
  ExpectBoxes(f.prompter,
              {"Write refused on Device E:, sector 3: the device is in use by a mounted file "
               "system or another program: " +
               one.path + " (mounted on " + mounted->path.string() + "). Free it first (umount " +
               mounted->path.string() + "), then try again. Nothing was written."});
  mounted.reset();
  mounted = std::make_unique<TestMount>(f.dir.path() / "mnt", "ext2", sibling->path);
  ASSERT_TRUE(mounted->ok);
  const Sector before = Slice(WholeFile(ext2), 3);
  const std::string refused = "Write refused on Device E:, sector 3: it is a loop device over " +
                              ext2.string() + ", and that file is attached to the loop device " +
                              sibling->path;
  EXPECT_EQ(WriteSector(f.model, "E:", 3, before, Filled(1)).status.cause, Cause::LoopAttached);
  ExpectBoxes(f.prompter,
              {refused + " (mounted on " + mounted->path.string() +
               ") as well: a write here would go behind its back. Free it first (umount " +
               mounted->path.string() + "; losetup -d " + sibling->path +
               "), then try again. Nothing was written."});
  mounted.reset();
  EXPECT_FALSE(WriteSector(f.model, "E:", 3, before, Filled(1)).ok());
  ExpectBoxes(f.prompter, {refused +
                           " as well: a write here would go behind its back. Free it first "
                           "(losetup -d " +
                           sibling->path + "), then try again. Nothing was written."});
  EXPECT_TRUE(Slice(WholeFile(ext2), 3) == before && Records(f.model) == 0);
  sibling.reset();
  EXPECT_TRUE(WriteSector(f.model, "E:", 3, before, Filled(1)).ok());
  EXPECT_EQ(Slice(WholeFile(ext2), 3), Filled(1));
}

// A read-only device (losetup -r, blockdev --setro, a write-protected card) is refused as
// read-only before anything is recorded: the write never reaches the journal.
TEST_F(LoopDrive, AReadOnlyDeviceIsRefusedWithoutARecord) {
  LoopDevice readOnly(disk, "-r");
  ASSERT_FALSE(readOnly.path.empty());
  std::filesystem::create_symlink(readOnly.path, f.Drive('R'));
  // Both loop devices lie over `disk`: the read-only one is refused for being read-only first.
  EXPECT_EQ(WriteSector(f.model, "R:", 2, Slice(data, 2), Filled(1)).status.cause,
            Cause::ReadOnlyDevice);
  ExpectBoxes(f.prompter,
              {"Write refused on Device R:, sector 2: the device is set read-only (a "
               "write-protect switch, blockdev --setro or losetup -r). Nothing was written."});
  EXPECT_TRUE(WholeFile(disk) == data && Records(f.model) == 0);
}

// A write log that changes the medium while it commits the record, as another program's write
// during the journal's flush would.
struct ChangingLog : device::WriteLog {
  std::filesystem::path file;
  device::WriteResult ended;
  Status Begin(const device::PendingWrite&) override {
    PokeBytes(file, 3, 100, {0x42});
    return {};
  }
  bool End(const device::WriteResult& r) override { return ended = r, true; }
};

// The sector is read once more after the journal's record, just before the write: a change
// made meanwhile is not written over, and the record says it was not written.
TEST(WritePath, AChangeWhileTheJournalCommitsIsNotWrittenOver) {
  TempDir dir;
  ChangingLog log;
  log.file = dir.path() / "image";
  std::vector<std::uint8_t> data = MakePatternImage(log.file, std::uint64_t{8} * 512);
  const device::WriteResult r =
      device::WriteSectorChecked(log.file, 3, Slice(data, 3), Filled(9), log);
  EXPECT_TRUE(r.cause == Cause::Changed && r.lateChange && r.begun && r.differing == 1);
  EXPECT_EQ(journal::StateOf(log.ended), journal::State::NotWritten);
  EXPECT_EQ(journal::CauseText(log.ended),
            "changed: just before the write the sector held other bytes than were shown (1 of "
            "512 differ)");
  data[3 * 512 + 100] = 0x42;
  EXPECT_EQ(WholeFile(log.file), data);
}

// The medium loses the write behind the block device's page cache (the loop device's backing
// file gets the old bytes back): read back at the medium, the loss shows and is journalled.
TEST_F(LoopDrive, TheCheckAtTheMediumSeesPastThePageCache) {
  const Sector old = Slice(data, 5), meant = Filled(0x99);
  f.io.afterFlush = [&] {
    PokeBytes(disk, 5, 0, std::vector<std::uint8_t>(old.begin(), old.end()));
  };
  const TransferResult r = WriteSector(f.model, "E:", 5, old, meant);
  int differing = 0;
  for (std::size_t i = 0; i < 512; ++i) differing += old[i] != meant[i];
  EXPECT_EQ(r.status.cause, Cause::Mismatch);
  EXPECT_EQ(f.prompter.shown.at(0).text,
            "THE DEVICE DID NOT KEEP WHAT WAS WRITTEN ON SECTOR 5: READ BACK, " +
                std::to_string(differing) +
                " OF 512 BYTES DIFFER (THE FIRST AT OFFSET 0). THE GRID SHOWS WHAT THE DEVICE "
                "HOLDS NOW.");
  const journal::Record rec = LastRecord(f.model);
  EXPECT_EQ(rec.state, journal::State::Failed);
  EXPECT_EQ(rec.target, loop.path + " (loop device over " + disk.string() + ")");
  EXPECT_EQ(rec.cause, "read back with O_DIRECT, " + std::to_string(differing) +
                           " of 512 bytes differ (the first at offset 0)");
}

// Each failure names its own cause (no space left, a read-only file system), and where the
// file system refuses O_DIRECT the journal says how the sector was read back instead.
TEST(WritePath, EachFailureNamesItsCause) {
  ModelFixture f;
  TestMount small(f.dir.path() / "small"), ram(f.dir.path() / "ram", "ramfs");
  if (!small.ok || !ram.ok)
    GTEST_SKIP() << "needs " << (small.ok ? ram : small).missing << ": causes untested";
  MakeZeroImage(small.path / "image", 1024);
  std::filesystem::create_symlink(small.path / "image", f.Drive('A'));
  small.Fill();
  EXPECT_FALSE(WriteSector(f.model, "A:", 100, Filled(0), Filled(1)).ok());
  EXPECT_EQ(LastRecord(f.model).cause, "no space left on the file system that holds it (ENOSPC)");
  EXPECT_EQ(LastRecord(f.model).state, journal::State::NotWritten);
  ASSERT_TRUE(small.Remount("ro"));
  EXPECT_FALSE(WriteSector(f.model, "A:", 100, Filled(0), Filled(1)).ok());
  EXPECT_EQ(f.prompter.shown.size(), 2u);
  EXPECT_EQ(f.prompter.shown[0].text,
            "Write refused on Device A:, sector 100: no space left on the file system that holds "
            "it. Nothing was written.");
  EXPECT_EQ(f.prompter.shown[1].text,
            "Write refused on Device A:, sector 100: the medium or its file system is "
            "read-only. Nothing was written.");

  MakeZeroImage(ram.path / "image", 4);
  std::filesystem::create_symlink(ram.path / "image", f.Drive('B'));
  EXPECT_TRUE(WriteSector(f.model, "B:", 2, Filled(0), Filled(7)).ok());
  EXPECT_EQ(ReadBytes(ram.path / "image", 2, 0, 512), std::vector<std::uint8_t>(512, 7));
  EXPECT_EQ(LastRecord(f.model).cause, "read back after dropping the page cache");
}

}  // namespace
}  // namespace dulvex::testing
