// The drives folder: the command line, binding letters, the first start of a per-user folder,
// what stands behind a letter, and the File menu's open commands on the window model.
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>
#include <optional>

#include "commands/open_commands.h"
#include "drives/command_line.h"
#include "drives/drive_info.h"
#include "drives/drive_letters.h"
#include "support/device_test_support.h"

namespace dulvex::testing {
namespace {

namespace fs = std::filesystem;
using drives::BindMedia;
using drives::ParseCommandLine;

// The start's own error texts (exit code, "dulvex: " prefix) are checked by the install test.
TEST(DrivesCommandLine, BadArgumentsGiveOneClearLine) {
  TempDir dir;
  const std::string img = (dir.path() / "a.img").string();
  MakeZeroImage(img, 4);
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"/no/such.img"}, "/no/such.img: no such file or device"},
      {{dir.path().string()}, "is a folder, not an image file or a block device"},
      {{"/dev/null"}, "is a character device"},
      {{"--drive", "S=" + img}, "the letter must be one of A to R"},
      {{"--drive", "E=" + img, "--drive=e:=" + img}, "letter E: is given twice"},
      {{"--drive", img}, "give a letter and a path"},
      {{"--drive"}, "--drive needs L=PATH"},
      {{"--drives", "/no/such/folder"}, "no such folder"},
      {{"--frobnicate"}, "unknown option --frobnicate (see dulvex --help)"},
      {{"--", "--help"}, "--help: no such file"},  // after "--" everything is a path
      {{"/no/such\nname\x7f.img"}, "/no/such\\nname\\x7F.img: no such file"},  // one line
      {{"--check"}, "--check needs the PATH"},
      {{"--check", "/no/such\nname.img"}, "/no/such\\nname.img: no such file or device"},
      {{"--check", img, "--check", img}, "--check takes one PATH"},
      {{"--check", img, "--drive", "E=" + img}, "--check takes one PATH"},
      {{"--check", img, "--codepage", "9\n9"}, "--codepage 9\\n9: give 850, 437 or 1252"},
      {{"--codepage", "\x1b[2J"}, "--codepage \\x1B[2J: give 850, 437 or 1252"},
      {{"--json", img}, "unknown option --json"},
  };
  for (const auto& [args, says] : cases) {
    const drives::CommandLine cl = ParseCommandLine(args);
    EXPECT_NE(cl.error.find(says), std::string::npos) << cl.error;
    EXPECT_TRUE(cl.error.find('\n') == std::string::npos && cl.media.empty()) << cl.error;
  }
  EXPECT_EQ(ParseCommandLine({"--help", "--bogus"}).action, drives::CommandLine::Action::Help);
  // --check binds nothing and chooses no drives folder: the check runs before any window.
  const drives::Start check =
      drives::PrepareStart({"--json", "--check=" + img, "--codepage", "437"}, dir.path(), {});
  EXPECT_TRUE(check.exitCode == -1 && check.check == img && check.json &&
              check.codePage == OemCodePage::Cp437 && check.folder.path.empty());
}

TEST(DrivesCommandLine, PathsTakeFreeLettersInOrderAndDriveLettersAsNamed) {
  TempDir dir;
  const fs::path folder = dir.path() / "drives", one = dir.path() / "one.img",
                 two = dir.path() / "two.img", three = dir.path() / "three.img",
                 four = dir.path() / "four.img";
  fs::create_directory(folder);
  for (const fs::path& p : {one, two, three, four, folder / "A"})
    MakeZeroImage(p, 4);                         // A: an image kept in the folder itself
  fs::create_symlink("/no/such", folder / "D");  // dangling: free, and taken first
  // B is named by --drive later on the line, so no PATH takes it; the same file named twice
  // ("one.img" and "./one.img" from its folder) takes one letter.
  drives::Bindings b = BindMedia(folder, {{std::nullopt, one},
                                          {std::nullopt, two},
                                          {std::nullopt, dir.path() / "." / "one.img"},
                                          {std::nullopt, three},
                                          {'B', one}});
  ASSERT_EQ(b.error, "");
  EXPECT_EQ(std::string(b.letters.begin(), b.letters.end()), "DCDEB");
  EXPECT_EQ(fs::read_symlink(folder / "D"), one);
  EXPECT_EQ(fs::read_symlink(folder / "C"), two);
  EXPECT_EQ(fs::read_symlink(folder / "B"), one);
  // Again: each path finds the letter it is bound to, however it is written; nothing new is
  // bound.
  EXPECT_EQ(BindMedia(folder, {{std::nullopt, folder / ".." / "three.img"}}).letters,
            std::vector<char>{'E'});
  EXPECT_FALSE(drives::IsBound(folder, 'F'));

  // --drive rebinds a link, but never replaces the image kept in the folder, and a refusal
  // binds nothing at all.
  b = BindMedia(folder, {{'D', two}, {'A', two}});
  EXPECT_NE(b.error.find("A: holds the image"), std::string::npos) << b.error;
  EXPECT_EQ(fs::read_symlink(folder / "D"), one);
  EXPECT_EQ(BindMedia(folder, {{'D', two}}).error, "");
  EXPECT_EQ(fs::read_symlink(folder / "D"), two);
}

// Every letter holds a live medium: from a terminal the command line ends with status 2; from
// a desktop the medium is left to the window, which asks. (A letter whose image was deleted is
// free: PathsTakeFreeLettersInOrderAndDriveLettersAsNamed, letters.scn.)
TEST(DrivesCommandLine, NoFreeLetterEndsATerminalStartOnly) {
  TempDir dir;
  const fs::path folder = dir.path() / "drives", one = dir.path() / "one.img",
                 four = dir.path() / "four.img";
  fs::create_directory(folder);
  for (const fs::path& p : {one, four}) MakeZeroImage(p, 4);
  for (char c = 'A'; c <= 'R'; ++c) fs::create_symlink(one, folder / std::string(1, c));
  const std::vector<std::string> args = {"--drives", folder.string(), four.string()};
  drives::Start s = drives::PrepareStart(args, dir.path(), {});
  EXPECT_EQ(s.exitCode, 2);
  EXPECT_EQ(s.err, "dulvex: " + four.string() + ": no free letter (A: to R: all hold a medium in " +
                       folder.string() + ")\n");
  s = drives::PrepareStart(args, dir.path(), {}, false);
  EXPECT_EQ(std::tuple(s.exitCode, s.openInWindow), std::tuple(-1, std::vector{four.string()}));
  EXPECT_EQ(s.choose, 'A');  // nothing bound at start: the first readable letter
  EXPECT_EQ(fs::read_symlink(folder / "K"), one);
}

TEST(DrivesFolder, WhichFolderHoldsTheLetters) {
  TempDir dir;
  const drives::Environment env{"/xdg/data", "/home/u"};
  EXPECT_EQ(drives::ChooseDrivesFolder(dir.path(), "", env).path, "/xdg/data/dulvex/drives");
  EXPECT_EQ(drives::ChooseDrivesFolder(dir.path(), "", {"relative", "/home/u"}).path,
            "/home/u/.local/share/dulvex/drives");
  // Never a folder under wherever the program was started.
  EXPECT_EQ(drives::ChooseDrivesFolder(dir.path(), "", {"", "home"}).path, "");
  const drives::Start s = drives::PrepareStart({}, dir.path(), {"", ""});
  EXPECT_EQ(s.exitCode, 1);
  EXPECT_NE(s.err.find("set HOME or XDG_DATA_HOME"), std::string::npos) << s.err;
  // Without HOME, the home folder of the account's passwd entry.
  const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
  ::unsetenv("HOME");
  const drives::Environment process = drives::ProcessEnvironment();
  ::setenv("HOME", home.c_str(), 1);
  const passwd* pw = ::getpwuid(::getuid());
  ASSERT_NE(pw, nullptr);
  EXPECT_EQ(process.home, pw->pw_dir);
  fs::create_directory(dir.path() / "drives");  // the build tree, a portable copy
  EXPECT_EQ(drives::ChooseDrivesFolder(dir.path(), "", env).path, dir.path() / "drives");
  EXPECT_FALSE(drives::ChooseDrivesFolder(dir.path(), "", env).perUser);
  EXPECT_EQ(drives::ChooseDrivesFolder(dir.path(), "/mine", env).path, "/mine");
}

// The first start unpacks each sample into a sparse copy equal to the original and binds its
// letter; a sample cut short (a damaged download) is reported and not bound; a later start
// leaves the user's folder alone.
TEST(DrivesFolder, FirstStartUnpacksSparseSamples) {
  TempDir dir;
  const fs::path samples = dir.path() / "samples", original = dir.path() / "original";
  fs::create_directory(samples);
  MakeFatImage(original, 65536, "-F 16 -n SAMPLE");
  const std::string gz = "'" + (samples / "D.img.gz").string() + "'";
  RunCommand("gzip -9n -c '" + original.string() + "' > " + gz + " && head -c 1000 " + gz + " > '" +
             (samples / "E.img.gz").string() + "'");

  const fs::path folder = dir.path() / "data" / "dulvex" / "drives";
  const auto problems = drives::PrepareUserFolder(folder, samples);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("sample volume E:"), std::string::npos) << problems[0];
  EXPECT_FALSE(drives::IsBound(folder, 'E'));
  EXPECT_FALSE(fs::exists(dir.path() / "data" / "dulvex" / "samples" / "E.img"));
  const fs::path copy = drives::TargetOf(folder, 'D');
  EXPECT_EQ(copy, dir.path() / "data" / "dulvex" / "samples" / "D.img");
  EXPECT_EQ(WholeFile(copy), WholeFile(original));
  struct stat st {};
  ASSERT_EQ(::stat(copy.c_str(), &st), 0);
  EXPECT_LT(st.st_blocks * 512, st.st_size / 8) << "the copy is not sparse";

  PokeBytes(copy, 0, 3, {'U', 'S', 'E', 'R'});
  fs::remove(folder / "D");
  EXPECT_TRUE(drives::PrepareUserFolder(folder, samples).empty());
  EXPECT_FALSE(drives::IsBound(folder, 'D'));
  EXPECT_EQ(ReadBytes(copy, 0, 3, 4), (std::vector<std::uint8_t>{'U', 'S', 'E', 'R'}));
}

// FAT12 with its label and size is in the Volume menu's tooltip below.
TEST(DriveInfo, FileSystemsLabelsAndSizes) {
  TempDir dir;
  const fs::path image = dir.path() / "image";
  Status problem;
  const std::string q = "'" + image.string() + "'", fat = tools::kMkfsFat;
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {fat + " -C -F 16 -n 'MY DISK' " + q + " 32768", "FAT16", "MY DISK"},
      {fat + " -C -F 32 " + q + " 70000", "FAT32", ""},
      {"truncate -s 8M " + q + " && " + tools::kMkfsExt2 + " -q -L EXTLABEL " + q, "ext2",
       "EXTLABEL"}};
  for (const auto& [make, type, label] : cases) {
    fs::remove(image);
    RunCommand(make);
    const drives::FileSystemGuess g = drives::ProbeFileSystem(image, &problem);
    EXPECT_EQ(std::pair(g.type, g.label), std::pair(type, label));
  }
  std::uint8_t head[4096] = {};
  EXPECT_EQ(drives::GuessFileSystem(head, sizeof head).type, "");
  head[446 + 4] = 0x0C, head[510] = 0x55, head[511] = 0xAA;
  EXPECT_EQ(drives::GuessFileSystem(head, sizeof head).type, "MBR partition table");
  EXPECT_EQ(drives::GuessFileSystem(head, 100).type, "");  // a short medium is not read past
  EXPECT_EQ(drives::HumanSize(134217728), "128 MiB");
  EXPECT_EQ(drives::HumanSize(8006926336), "7.5 GiB");
}

// Whether user nobody can reach `file` (every folder above it can be entered).
bool NobodyReaches(const fs::path& file) {
  for (fs::path p = file.parent_path(); !p.empty(); p = p.parent_path()) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0 || (st.st_mode & 001) == 0) return false;
    if (p == p.root_path()) break;
  }
  return true;
}

// A device this account may not open is explained: a group is named only when joining it
// gives the rights (never group root); otherwise root, or a udev rule for a block device.
TEST(DriveInfo, PermissionDeniedSaysWhyAndHow) {
  ModelFixture f;
  const fs::path image = f.dir.path() / "disk.img";
  MakeFatImage(image, 2880, "-F 12");
  // Group disk on Debian when root can give it; else a group of this account.
  const gid_t gid = ::geteuid() == 0 ? 6 : ::getegid();
  const std::string group = ::getgrgid(gid) != nullptr ? ::getgrgid(gid)->gr_name : "";
  ASSERT_EQ(::chown(image.c_str(), ::geteuid(), gid), 0);
  ::chmod(image.c_str(), 0660);
  const std::string advice = drives::DeniedAdvice("B:", image, false);
  for (const std::string& part : {"B: is " + image.string(), "group " + group + " (rw-rw----)",
                                  "sudo usermod -aG " + group + " $USER"})
    EXPECT_NE(advice.find(part), std::string::npos) << advice;
  // The group may read but not write: for a write it is not named.
  ::chmod(image.c_str(), 0640);
  EXPECT_EQ(drives::DeniedAdvice("B:", image, true).find("group " + group), std::string::npos);

  if (::geteuid() != 0) GTEST_SKIP() << "needs root: a device node owned by root, another user";
  const fs::path node = f.dir.path() / "node";
  if (::mknod(node.c_str(), S_IFBLK | 0600, ::makedev(7, 255)) != 0)
    GTEST_SKIP() << "needs the right to make a device node (CAP_MKNOD)";
  const std::string rootOnly = drives::DeniedAdvice("C:", node, false);
  EXPECT_NE(rootOnly.find("It belongs to user root (rw-------).\n\nNo group may open it: "
                          "start the program as root"),
            std::string::npos)
      << rootOnly;
  // Group root may read it too, but is no group to join.
  ::chmod(node.c_str(), 0660);
  const std::string groupRoot = drives::DeniedAdvice("C:", node, false);
  for (const std::string& advice : {rootOnly, groupRoot}) {
    EXPECT_EQ(advice.find("group root"), std::string::npos) << advice;
    EXPECT_EQ(advice.find("usermod"), std::string::npos) << advice;
  }
  EXPECT_NE(rootOnly.find("KERNEL==\"node\", GROUP=\"disk\", MODE=\"0660\""), std::string::npos);

  // As a user outside group disk, choosing B: shows the advice, not a bare open error.
  ::chmod(image.c_str(), 0660);
  ::chmod(f.dir.path().c_str(), 0755);
  ASSERT_TRUE(drives::Bind(f.model.state.drivesDir, 'B', image).ok());
  if (!NobodyReaches(image))
    GTEST_SKIP() << "needs a folder user nobody can enter: " << f.dir.path()
                 << " lies in a private one";
  ASSERT_TRUE(::setegid(65534) == 0 && ::seteuid(65534) == 0);
  f.Choose('B');
  const std::string tip = drives::DescribeLetter(f.model.state.drivesDir, 'B');
  ASSERT_TRUE(::seteuid(0) == 0 && ::setegid(0) == 0);
  EXPECT_NE(tip.find("no rights to read it (group disk)"), std::string::npos) << tip;
  ASSERT_FALSE(f.prompter.shown.empty());
  EXPECT_EQ(f.prompter.shown[0].text, drives::DeniedAdvice("B:", image, false));
}

// A loop device with nothing attached (as an empty card reader) has no medium: the Volume
// menu's tooltip and the read of the chosen letter say so.
TEST(DriveInfo, ADetachedDeviceHasNoMedium) {
  ModelFixture f;
  const fs::path image = f.dir.path() / "disk.img";
  MakeFatImage(image, 2880, "-F 12");
  std::optional<LoopDevice> loop(std::in_place, image);
  if (loop->path.empty()) GTEST_SKIP() << "needs " << loop->missing;
  const std::string device = loop->path;
  ASSERT_TRUE(drives::Bind(f.model.state.drivesDir, 'E', device).ok());
  loop.reset();
  const std::string tip = drives::DescribeLetter(f.model.state.drivesDir, 'E');
  f.Choose('E');
  const fs::path size = fs::path("/sys/block") / fs::path(device).filename() / "size";
  std::ifstream sectors(size);
  if (std::string n; sectors >> n && n != "0")
    GTEST_SKIP() << "another test attached " << device << " again meanwhile";
  EXPECT_EQ(tip, device + " · no medium");
  ASSERT_FALSE(f.prompter.shown.empty());
  EXPECT_EQ(f.prompter.shown[0].text,
            "Read Error on Device E:, sector 0: there is no medium in the device (removed?).");
}

// Open Image binds the first free letter and chooses it, once per image; Open Device binds
// what the dialog chose (a loop device where this account may attach one, else an image);
// dropped files are all bound and the first chosen; what is not an image or a device, or is
// gone from Recent, is refused with a word.
TEST(OpenCommands, ImagesDevicesDroppedFilesAndRecent) {
  auto shell = drives::MemoryShell();
  std::string device;  // what the Open Device dialog chooses
  shell->chooseDevice = [&device] { return device; };
  ModelFixture f(shell);
  const fs::path image = f.dir.path() / "card.img", dev = f.dir.path() / "dev.img";
  MakeFatImage(f.Drive('A'), 2880, "-F 12 -n SAMPLE");
  MakeFatImage(image, 2880, "-F 12 -n CARD");
  MakeFatImage(dev, 2880, "-F 12 -n LOOPED");
  LoopDevice loop(dev);
  device = loop.path.empty() ? dev.string() : loop.path;
  drives::RefreshLetterTips(f.model);
  EXPECT_EQ(f.model.At("mnuA", 1).tooltip, "nothing bound");

  f.prompter.fileAnswers = {image.string(), image.string()};
  ASSERT_TRUE(f.model.Click("mnuOpenImage"));
  EXPECT_EQ(f.model.state.lastShown->device, "B:");
  EXPECT_EQ(f.model.At("mnuA", 1).tooltip, image.string() + " · 1.4 MiB · FAT12 · label \"CARD\"");
  EXPECT_EQ(f.model.At("mnuRecentFile", 0).caption, image.string());
  EXPECT_FALSE(f.model.At("mnuRecentFile", 1).visible);
  // The same image again: the letter it is bound to; the dialog starts in its folder.
  f.Choose('A');
  f.model.Click("mnuOpenImage");
  EXPECT_EQ(f.prompter.shown.back().defaultText, f.dir.path().string());
  EXPECT_EQ(f.model.state.DevicePath, "B:");

  f.model.Click("mnuOpenDevice");
  EXPECT_EQ(f.model.state.DevicePath, "C:");
  EXPECT_EQ(drives::TargetOf(f.model.state.drivesDir, 'C'), device);
  EXPECT_EQ(shell->loadRecent().size(), loop.path.empty() ? 2u : 1u) << "devices are not recent";

  f.prompter.shown.clear();
  const fs::path one = f.dir.path() / "one.img", two = f.dir.path() / "two.img";
  MakeZeroImage(one, 8);
  MakeZeroImage(two, 8);
  drives::OpenDropped(f.model, *shell, {f.dir.path().string(), two.string(), one.string()});
  EXPECT_EQ(f.prompter.shown.at(0).text, "Cannot open " + f.dir.path().string() +
                                             ": is a folder, not an image file or a block device.");
  EXPECT_EQ(f.model.state.DevicePath, "D:");
  EXPECT_EQ(drives::TargetOf(f.model.state.drivesDir, 'E'), one);

  // A file that is gone is taken off the Recent list with a word.
  fs::remove(image);
  const std::vector<std::string> recent = shell->loadRecent();
  f.model.Click("mnuRecentFile", static_cast<int>(recent.size()) - 1);  // the oldest: card.img
  EXPECT_EQ(f.prompter.shown.back().text,
            "Cannot open " + image.string() +
                ": no such file or device. It is taken off the Recent list.");
  EXPECT_EQ(shell->loadRecent().size(), recent.size() - 1);
}

// Every letter bound: the user names the one to replace; a wrong answer is asked again, an
// image kept in the folder is not replaced, a cancel binds nothing.
TEST(OpenCommands, NoFreeLetterAsksWhichToReplace) {
  ModelFixture f;
  MakeFatImage(f.Drive('A'), 2880, "-F 12");
  for (char c = 'B'; c <= 'R'; ++c) fs::create_symlink(f.Drive('A'), f.Drive(c));
  const fs::path image = f.dir.path() / "new.img";
  MakeFatImage(image, 2880, "-F 12 -n NEWONE");
  auto shell = drives::MemoryShell();
  f.prompter.inputAnswers = {"Z", "A", "k"};
  ASSERT_TRUE(drives::OpenMedium(f.model, *shell, image.string()).ok());
  ASSERT_EQ(f.prompter.shown.size(), 5u);
  EXPECT_EQ(f.prompter.shown[0].text, "All letters A: to R: are bound. Which letter should " +
                                          image.string() + " replace? (A to R)");
  EXPECT_EQ(f.prompter.shown[1].text, "\"Z\" is not a letter from A to R.");
  EXPECT_NE(f.prompter.shown[3].text.find("A: holds the image"), std::string::npos);
  EXPECT_EQ(fs::read_symlink(f.Drive('K')), image);

  f.prompter.shown.clear();
  MakeZeroImage(f.dir.path() / "other.img", 8);
  EXPECT_FALSE(drives::OpenMedium(f.model, *shell, (f.dir.path() / "other.img").string()).ok());
  EXPECT_EQ(f.prompter.shown.size(), 1u);  // asked, cancelled, nothing more
  EXPECT_EQ(f.model.state.DevicePath, "K:");
}

TEST(OpenCommands, RecentListHoldsTheLastTenOnce) {
  std::vector<std::string> list;
  for (int i = 0; i < 12; ++i) list = drives::WithRecent(list, std::to_string(i));
  list = drives::WithRecent(list, "5");
  EXPECT_EQ(list, (std::vector<std::string>{"5", "11", "10", "9", "8", "7", "6", "4", "3", "2"}));
}

}  // namespace
}  // namespace dulvex::testing
