// Host files the program writes (an export, a file saved from a volume): what takes an old
// file's place keeps its mode and owner, a new one is private, a link is written through, any
// name the folder takes can be written; and where no host file may go at all.
#include "device/host_file.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>

#include "drives/drive_letters.h"
#include "support/device_test_support.h"

namespace dulvex::testing {
namespace {

namespace fs = std::filesystem;

std::string Keep(const fs::path& target, const std::string& text = "new") {
  device::PendingFile file(target);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  if (!file.ok() || !file.Write({bytes, text.size()}) || !file.Keep())
    return file.status().Describe();
  return "kept";
}

std::string Text(const fs::path& file) {
  const std::vector<std::uint8_t> bytes = WholeFile(file);
  return {bytes.begin(), bytes.end()};
}

TEST(PendingFile, KeepsModeAndOwnerWritesThroughLinksAndTakesAnyName) {
  TempDir dir;
  const fs::path old = dir.path() / "old";
  std::ofstream(old) << "old";
  ASSERT_EQ(::chmod(old.c_str(), 0640), 0);
  const passwd* nobody = ::getpwnam("nobody");
  const bool root = ::geteuid() == 0 && nobody != nullptr;
  if (root) {
    ASSERT_EQ(::chown(old.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  }
  EXPECT_EQ(Keep(old), "kept");
  struct stat st {};
  ASSERT_EQ(::stat(old.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, nobody->pw_uid);
  }
  EXPECT_EQ(Text(old), "new");

  const fs::path fresh = dir.path() / "fresh";  // holds a volume's bytes: private
  EXPECT_EQ(Keep(fresh), "kept");
  ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  fs::create_symlink(old, dir.path() / "link");
  EXPECT_EQ(Keep(dir.path() / "link", "through"), "kept");
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link"));
  EXPECT_EQ(Text(old), "through");

  const fs::path longest = dir.path() / std::string(255, 'n');
  EXPECT_EQ(Keep(longest), "kept");
  EXPECT_EQ(Text(longest), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 4)
      << "a temporary file was left behind";

  fs::create_symlink(dir.path() / "gone", dir.path() / "dangling");
  EXPECT_EQ(
      Keep(dir.path() / "dangling"),
      "it is a symbolic link to " + (dir.path() / "gone").string() + ", which does not exist");
  EXPECT_EQ(Keep(dir.path()), "it is a folder");
  EXPECT_EQ(Keep("/dev/null"), "it is not a regular file");
}

// Keep closes the file whatever fails: a failed flush (made to fail under strace, in a process
// of its own) leaves no descriptor open, and the old file as it was.
TEST(PendingFile, AFailedFlushLeavesNoDescriptorOpen) {
  if (!Quietly("strace -V")) GTEST_SKIP() << "no strace here: a failed flush untested";
  TempDir dir;
  const fs::path old = dir.path() / "old";
  std::ofstream(old) << "old";
  std::string out;
  try {
    RunCommand(UnderStrace("fsync:error=EIO") + std::string(DULVEX_PEER) + " keep '" +
               old.string() + "'");
  } catch (const std::exception& e) {
    out = e.what();
  }
  EXPECT_NE(out.find("\ninput/output error (EIO); 0 descriptors left open"), std::string::npos)
      << out;
  EXPECT_EQ(Text(old), "old");
}

// No host file goes inside the drives folder, over a medium a letter leads to, over a loop
// device's file or over anything but a regular file.
TEST(HostFileRefusal, MediaTheirFilesAndTheDrivesFolder) {
  ModelFixture f;
  const fs::path drives = f.model.state.drivesDir, image = f.dir.path() / "card.img";
  MakeZeroImage(image, 16);
  MakeZeroImage(f.Drive('C'), 16);
  fs::create_symlink(image, f.Drive('B'));
  const auto Refusal = [](const fs::path& folder, const fs::path& path) {
    const Status refused = drives::HostFileRefusal(folder, path);
    return refused.ok() ? std::string() : refused.Describe();
  };
  const std::string inside = " lies inside the drives folder " + fs::canonical(drives).string() +
                             ", which holds the volumes' letters";
  EXPECT_EQ(Refusal(drives, f.Drive('B')), f.Drive('B').string() + inside);
  EXPECT_EQ(Refusal(drives, drives / "new.txt"), (drives / "new.txt").string() + inside);
  EXPECT_EQ(Refusal(drives, image), image.string() + " is the medium bound to B:");
  EXPECT_EQ(Refusal(drives, "/dev/null"), "/dev/null is not a regular file");
  EXPECT_EQ(Refusal(drives, f.dir.path() / "history.txt"), "");
  fs::remove(f.Drive('B'));
  LoopDevice loop(image);
  if (loop.path.empty()) GTEST_SKIP() << "no loop block device here: a loop's file untested";
  EXPECT_EQ(Refusal(drives, image),
            image.string() + " is the file behind the loop device " + loop.path);
}

}  // namespace
}  // namespace dulvex::testing
