// The drives folder: the command line, binding letters, the first start of a per-user folder,
// what stands behind a letter, and the File menu's open commands on the window model.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "drives/command_line.h"
#include "drives/drive_info.h"
#include "drives/drive_letters.h"
#include "drives/open_commands.h"
#include "support/device_test_support.h"

namespace dulvex::testing {
namespace {

namespace fs = std::filesystem;
using drives::BindMedia;
using drives::CommandLine;
using drives::DriveRequest;
using drives::ParseCommandLine;

std::string Letters(const std::vector<char>& letters) {
  return {letters.begin(), letters.end()};
}

TEST(DrivesCommandLine, BadArgumentsGiveOneClearLine) {
  TempDir dir;
  const std::string img = (dir.path() / "a.img").string();
  MakeZeroImage(img, 4);
  const struct {
    std::vector<std::string> args;
    std::string says;
  } cases[] = {
      {{"/no/such.img"}, "/no/such.img: no such file or device"},
      {{dir.path().string()}, "is a folder, not an image file or a block device"},
      {{"/dev/null"}, "is a character device"},
      {{"--drive", "S=" + img}, "the letter must be one of A to R"},
      {{"--drive", "E=" + img, "--drive=e:=" + img}, "letter E: is given twice"},
      {{"--drive", img}, "give a letter and a path"},
      {{"--drive"}, "--drive needs L=PATH"},
      {{"--drives", "/no/such/folder"}, "no such folder"},
      {{"--frobnicate"}, "unknown option --frobnicate (see dulvex --help)"},
  };
  for (const auto& c : cases) {
    const CommandLine cl = ParseCommandLine(c.args);
    EXPECT_NE(cl.error.find(c.says), std::string::npos) << cl.error;
    EXPECT_EQ(cl.error.find('\n'), std::string::npos);
    EXPECT_TRUE(cl.media.empty());
  }
  const drives::Start s = drives::PrepareStart({"--drive", "Z=" + img}, dir.path(), {});
  EXPECT_EQ(s.exitCode, 2);
  EXPECT_EQ(s.err, "dulvex: --drive Z=" + img + ": the letter must be one of A to R\n");

  EXPECT_EQ(ParseCommandLine({"x", "--version"}).action, CommandLine::Action::Version);
  EXPECT_EQ(ParseCommandLine({"--help", "--bogus"}).action, CommandLine::Action::Help);
  // After "--" everything is a path, even a name that looks like an option.
  EXPECT_NE(ParseCommandLine({"--", "--help"}).error.find("--help: no such file"),
            std::string::npos);
}

TEST(DrivesCommandLine, PathsTakeFreeLettersInOrderAndDriveLettersAsNamed) {
  TempDir dir;
  const fs::path folder = dir.path() / "drives";
  fs::create_directory(folder);
  std::vector<DriveRequest> media;
  for (const char* name : {"one.img", "two.img", "three.img"}) {
    MakeZeroImage(dir.path() / name, 4);
    media.push_back({std::nullopt, dir.path() / name});
  }
  MakeZeroImage(folder / "A", 4);                // an image kept in the folder itself
  fs::create_symlink("/no/such", folder / "C");  // dangling, still bound
  // B is named by --drive later on the line, so no PATH takes it.
  media.push_back({'B', dir.path() / "one.img"});
  drives::Bindings b = BindMedia(folder, media);
  ASSERT_EQ(b.error, "");
  EXPECT_EQ(Letters(b.letters), "DEFB");
  EXPECT_EQ(fs::read_symlink(folder / "E"), dir.path() / "two.img");
  EXPECT_EQ(fs::read_symlink(folder / "B"), dir.path() / "one.img");

  // Again: each path finds the letter it is bound to; nothing new is bound.
  b = BindMedia(folder, {{std::nullopt, dir.path() / "three.img"}});
  EXPECT_EQ(Letters(b.letters), "F");
  EXPECT_FALSE(drives::IsBound(folder, 'G'));

  // --drive rebinds a link, but never replaces the image kept in the folder, and a refusal
  // binds nothing at all.
  b = BindMedia(folder, {{'D', dir.path() / "two.img"}, {'A', dir.path() / "two.img"}});
  EXPECT_NE(b.error.find("A: holds the image"), std::string::npos) << b.error;
  EXPECT_EQ(fs::read_symlink(folder / "D"), dir.path() / "one.img");
  EXPECT_EQ(BindMedia(folder, {{'D', dir.path() / "two.img"}}).error, "");
  EXPECT_EQ(fs::read_symlink(folder / "D"), dir.path() / "two.img");

  for (char c = 'G'; c <= 'R'; ++c) fs::create_symlink("/x", folder / std::string(1, c));
  MakeZeroImage(dir.path() / "four.img", 4);
  const drives::Start s = drives::PrepareStart(
      {"--drives", folder.string(), (dir.path() / "four.img").string()}, dir.path(), {});
  EXPECT_EQ(s.exitCode, 2);
  EXPECT_NE(s.err.find("no free letter"), std::string::npos);
}

TEST(DrivesFolder, WhichFolderHoldsTheLetters) {
  TempDir dir;
  const drives::Environment env{"/xdg/data", "/home/u"};
  EXPECT_EQ(drives::ChooseDrivesFolder(dir.path(), "", env).path, "/xdg/data/dulvex/drives");
  EXPECT_EQ(drives::ChooseDrivesFolder(dir.path(), "", {"relative", "/home/u"}).path,
            "/home/u/.local/share/dulvex/drives");
  fs::create_directory(dir.path() / "drives");  // the build tree, a portable copy
  EXPECT_EQ(drives::ChooseDrivesFolder(dir.path(), "", env).path, dir.path() / "drives");
  EXPECT_FALSE(drives::ChooseDrivesFolder(dir.path(), "", env).perUser);
  EXPECT_EQ(drives::ChooseDrivesFolder(dir.path(), "/mine", env).path, "/mine");
}

// The first start unpacks each sample into a sparse copy equal to the original and binds its
// letter; a later start leaves the user's folder alone.
TEST(DrivesFolder, FirstStartUnpacksSparseSamples) {
  TempDir dir;
  const fs::path samples = dir.path() / "samples";
  fs::create_directory(samples);
  const fs::path original = dir.path() / "original";
  MakeFatImage(original, 65536, "-F 16 -n SAMPLE");
  RunCommand("gzip -9n -c '" + original.string() + "' > '" + (samples / "D.img.gz").string() + "'");
  // E: cut short, as a damaged download would be.
  RunCommand("head -c 1000 '" + (samples / "D.img.gz").string() + "' > '" +
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

TEST(DriveInfo, FileSystemsLabelsAndSizes) {
  TempDir dir;
  const struct {
    std::uint64_t sectors;
    std::string options, type;
  } fats[] = {{2880, "-F 12 -n FLOPPY", "FAT12"},
              {65536, "-F 16 -n \"MY DISK\"", "FAT16"},
              {140000, "-F 32", "FAT32"}};
  for (const auto& f : fats) {
    MakeFatImage(dir.path() / "fat", f.sectors, f.options);
    std::string problem;
    const drives::FileSystemGuess g = drives::ProbeFileSystem(dir.path() / "fat", &problem);
    EXPECT_EQ(g.type, f.type);
    EXPECT_EQ(g.label, f.type == "FAT12" ? "FLOPPY" : f.type == "FAT16" ? "MY DISK" : "");
  }
  MakeZeroImage(dir.path() / "ext", 16384);
  RunCommand("mkfs.ext2 -q -L EXTLABEL '" + (dir.path() / "ext").string() + "'");
  std::string problem;
  EXPECT_EQ(drives::ProbeFileSystem(dir.path() / "ext", &problem).type, "ext2");
  EXPECT_EQ(drives::ProbeFileSystem(dir.path() / "ext", &problem).label, "EXTLABEL");
  std::uint8_t head[4096] = {};
  EXPECT_EQ(drives::GuessFileSystem(head, sizeof head).type, "");
  head[446 + 4] = 0x0C;
  head[510] = 0x55;
  head[511] = 0xAA;
  EXPECT_EQ(drives::GuessFileSystem(head, sizeof head).type, "MBR partition table");
  EXPECT_EQ(drives::GuessFileSystem(head, 100).type, "");  // a short medium is not read past

  EXPECT_EQ(drives::HumanSize(1474560), "1.4 MiB");
  EXPECT_EQ(drives::HumanSize(134217728), "128 MiB");
  EXPECT_EQ(drives::HumanSize(8006926336), "7.5 GiB");
}

// A device this account may not open is explained: its group and how to join it.
TEST(DriveInfo, PermissionDeniedSaysWhyAndHow) {
  ModelFixture f;
  ::chmod(f.dir.path().c_str(), 0755);
  const fs::path image = f.dir.path() / "disk.img";
  MakeFatImage(image, 2880, "-F 12");
  ASSERT_EQ(::chown(image.c_str(), 0, 6), 0);  // group disk on Debian
  ::chmod(image.c_str(), 0660);
  ASSERT_EQ(drives::Bind(f.model.state.drivesDir, 'B', image), "");
  const std::string advice = drives::DeniedAdvice("B:", f.Drive('B'), false);
  EXPECT_NE(advice.find("B: is " + image.string()), std::string::npos) << advice;
  EXPECT_NE(advice.find("group disk (rw-rw----)"), std::string::npos) << advice;
  EXPECT_NE(advice.find("sudo usermod -aG disk $USER"), std::string::npos) << advice;
  EXPECT_NE(advice.find("log out and log in again"), std::string::npos) << advice;

  if (::geteuid() != 0) GTEST_SKIP() << "choosing the letter as another user needs root";
  // As a user outside group disk, choosing B: shows the advice, not a bare open error.
  ASSERT_EQ(::setegid(65534), 0);
  ASSERT_EQ(::seteuid(65534), 0);
  f.Choose('B');
  EXPECT_NE(drives::DescribeLetter(f.model.state.drivesDir, 'B').find("no rights to read it"),
            std::string::npos);
  ASSERT_EQ(::seteuid(0), 0);
  ASSERT_EQ(::setegid(0), 0);
  ASSERT_FALSE(f.prompter.shown.empty());
  EXPECT_EQ(f.prompter.shown[0].text, advice);
}

TEST(OpenCommands, OpenImageBindsTheFirstFreeLetterAndChoosesIt) {
  ModelFixture f;
  auto shell = drives::MemoryShell();
  drives::InstallDrives(f.model, shell);
  const fs::path folder = f.model.state.drivesDir;
  MakeFatImage(f.Drive('A'), 2880, "-F 12 -n SAMPLE");
  EXPECT_EQ(f.model.At("mnuA", 1).tooltip, "nothing bound");
  EXPECT_FALSE(f.model.At("mnuRecent").enabled);

  const fs::path image = f.dir.path() / "card.img";
  MakeFatImage(image, 2880, "-F 12 -n CARD");
  f.prompter.fileAnswers.push_back(image.string());
  ASSERT_TRUE(f.model.Click("mnuOpenImage"));
  EXPECT_EQ(f.prompter.shown.at(0).text, "Open Image");
  EXPECT_EQ(f.model.state.DevicePath, "B:");
  EXPECT_EQ(f.model.state.lastShown->device, "B:");
  EXPECT_EQ(f.model.At("mnuA", 1).tooltip, image.string() + " · 1.4 MiB · FAT12 · label \"CARD\"");
  EXPECT_TRUE(f.model.At("mnuRecent").enabled);
  EXPECT_EQ(f.model.At("mnuRecentFile", 0).caption, image.string());
  EXPECT_FALSE(f.model.At("mnuRecentFile", 1).visible);

  // The same image again: the letter it is bound to, not a new one. The next file dialog
  // starts in its folder.
  f.Choose('A');
  f.prompter.fileAnswers.push_back(image.string());
  f.model.Click("mnuOpenImage");
  EXPECT_EQ(f.prompter.shown.back().defaultText, f.dir.path().string());
  EXPECT_EQ(f.model.state.DevicePath, "B:");
  EXPECT_FALSE(drives::IsBound(folder, 'C'));

  // A file that is gone is taken off the Recent list with a word.
  fs::remove(image);
  f.model.Click("mnuRecentFile", 0);
  EXPECT_EQ(f.prompter.shown.back().text,
            "Cannot open " + image.string() +
                ": no such file or device. It is taken off the Recent list.");
  EXPECT_FALSE(f.model.At("mnuRecent").enabled);
  EXPECT_TRUE(shell->loadRecent().empty());
}

// Every letter bound: the user names the one to replace; a wrong answer is asked again, an
// image kept in the folder is not replaced, a cancel binds nothing.
TEST(OpenCommands, NoFreeLetterAsksWhichToReplace) {
  ModelFixture f;
  const fs::path folder = f.model.state.drivesDir;
  MakeFatImage(f.Drive('A'), 2880, "-F 12");
  for (char c = 'B'; c <= 'R'; ++c) fs::create_symlink(f.Drive('A'), f.Drive(c));
  const fs::path image = f.dir.path() / "new.img";
  MakeFatImage(image, 2880, "-F 12 -n NEWONE");
  auto shell = drives::MemoryShell();
  drives::InstallDrives(f.model, shell);

  f.prompter.inputAnswers = {"Z", "A", "k"};
  ASSERT_TRUE(drives::OpenMedium(f.model, *shell, image.string()));
  std::vector<std::string> texts;
  for (const ShownBox& b : f.prompter.shown) texts.push_back(b.text);
  const std::string ask = "All letters A: to R: are bound. Which letter should " + image.string() +
                          " replace? (A to R)";
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0], ask);
  EXPECT_EQ(texts[1], "\"Z\" is not a letter from A to R.");
  EXPECT_NE(texts[3].find("A: holds the image"), std::string::npos);
  EXPECT_EQ(fs::read_symlink(f.Drive('K')), image);
  EXPECT_EQ(f.model.state.DevicePath, "K:");

  f.prompter.shown.clear();
  MakeZeroImage(f.dir.path() / "other.img", 8);
  EXPECT_FALSE(drives::OpenMedium(f.model, *shell, (f.dir.path() / "other.img").string()));
  EXPECT_EQ(f.prompter.shown.size(), 1u);  // asked, cancelled, nothing more
  EXPECT_EQ(f.model.state.DevicePath, "K:");
}

// Open Device binds what the dialog chose; dropped files are all bound and the first chosen;
// what is not an image or a device is refused with a word.
TEST(OpenCommands, DevicesAndDroppedFiles) {
  ModelFixture f;
  const fs::path image = f.dir.path() / "dev.img";
  MakeFatImage(image, 2880, "-F 12 -n LOOPED");
  LoopDevice loop(image);
  const std::string device = loop.path.empty() ? image.string() : loop.path;
  auto shell = drives::MemoryShell();
  shell->chooseDevice = [&] { return device; };
  drives::InstallDrives(f.model, shell);
  f.model.Click("mnuOpenDevice");
  EXPECT_EQ(f.model.state.DevicePath, "A:");
  EXPECT_EQ(drives::TargetOf(f.model.state.drivesDir, 'A'), device);
  EXPECT_NE(f.model.At("mnuA", 0).tooltip.find("1.4 MiB · FAT12 · label \"LOOPED\""),
            std::string::npos);
  EXPECT_EQ(shell->loadRecent().empty(), !loop.path.empty()) << "devices are not recent images";

  MakeZeroImage(f.dir.path() / "one.img", 8);
  MakeFatImage(f.dir.path() / "two.img", 2880, "-F 12");
  drives::OpenDropped(f.model, *shell,
                      {f.dir.path().string(), (f.dir.path() / "two.img").string(),
                       (f.dir.path() / "one.img").string()});
  EXPECT_EQ(f.prompter.shown.at(0).text, "Cannot open " + f.dir.path().string() +
                                             ": is a folder, not an image file or a block device.");
  EXPECT_EQ(f.model.state.DevicePath, "B:");
  EXPECT_EQ(drives::TargetOf(f.model.state.drivesDir, 'C'), f.dir.path() / "one.img");
}

TEST(OpenCommands, RecentListHoldsTheLastTenOnce) {
  std::vector<std::string> list;
  for (int i = 0; i < 12; ++i) list = drives::WithRecent(list, std::to_string(i));
  list = drives::WithRecent(list, "5");
  EXPECT_EQ(list, (std::vector<std::string>{"5", "11", "10", "9", "8", "7", "6", "4", "3", "2"}));
}

}  // namespace
}  // namespace dulvex::testing
