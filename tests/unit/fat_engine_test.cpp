// The FAT engine on volumes built in memory: entry meaning, chain ends, long names (good,
// wrong checksum, out of order, orphaned), markers, and walks that stay bounded.
#include <gtest/gtest.h>

#include "base/casefold.h"
#include "base/le.h"
#include "fat/dir_entry.h"
#include "fat/tree.h"

namespace dulvex::testing {
namespace {

using fat::EntryKind;
using fat::FatKind;

// The meaning of an entry's value in each width. (FAT12 packing: the chains of oracle_test
// and the FAT cells' tooltips of fat_tools.scn.)
TEST(FatEntries, MeaningOfEachWidth) {
  const struct {
    FatKind kind;
    std::uint32_t value, max;
    EntryKind want;
  } cases[] = {
      {FatKind::Fat12, 0, 100, EntryKind::Free},
      {FatKind::Fat12, 1, 100, EntryKind::Reserved},
      {FatKind::Fat12, 100, 100, EntryKind::Next},
      {FatKind::Fat12, 101, 100, EntryKind::OutOfRange},
      {FatKind::Fat12, 0xFF0, 100, EntryKind::Reserved},
      {FatKind::Fat12, 0xFF5, 0xFF5, EntryKind::Next},
      {FatKind::Fat12, 0xFF7, 100, EntryKind::Bad},
      {FatKind::Fat12, 0xFF8, 100, EntryKind::End},
      {FatKind::Fat16, 0xFFF6, 100, EntryKind::Reserved},
      {FatKind::Fat16, 0xFFF7, 100, EntryKind::Bad},
      {FatKind::Fat16, 0xFFF8, 100, EntryKind::End},
      {FatKind::Fat16, 0xFF8, 100, EntryKind::OutOfRange},
      {FatKind::Fat32, 0x0FFFFFF7, 100, EntryKind::Bad},
      {FatKind::Fat32, 0xFFFFFFF8, 100, EntryKind::End},
      {FatKind::Fat32, 0xF0000005, 100, EntryKind::Next},  // the top 4 bits are ignored
      {FatKind::Fat32, 0x0000FFF7, 0x10000, EntryKind::Next},
  };
  for (const auto& c : cases)
    EXPECT_EQ(fat::Classify(c.kind, c.value, c.max), c.want) << std::hex << c.value;
}

// A FAT16 volume in memory: FAT at sector 1, a root of 16 entries at sector 2, clusters of
// one sector from sector 3.
struct MemoryVolume {
  fat::Layout l;
  std::vector<std::uint8_t> bytes;
  int next = 0;  // root entries written

  // Only the first `stored` clusters have their bytes in memory.
  explicit MemoryVolume(std::uint32_t clusters = 100, FatKind kind = FatKind::Fat16,
                        std::uint32_t stored = 100) {
    l.kind = kind;
    l.fat1Sector = 1;
    l.fatSectors = (std::int64_t{clusters} + 2) * 4 / 512 + 1;
    l.rootSector = 1 + l.fatSectors;
    l.rootSectors = kind == FatKind::Fat32 ? 0 : 1;
    l.rootCluster = 2;
    l.firstDataSector = l.rootSector + l.rootSectors;
    l.clusterCount = clusters;
    bytes.resize((static_cast<std::size_t>(l.firstDataSector) + stored) * 512);
  }
  void Entry(std::uint32_t n, std::uint32_t v) {
    if (l.kind == FatKind::Fat32)
      fat::PutLe32(&bytes[512 + 4 * n], v);
    else
      fat::PutLe16(&bytes[512 + 2 * n], static_cast<std::uint16_t>(v));
  }
  std::uint8_t* At(std::int64_t sector, std::size_t offset) {
    return &bytes[static_cast<std::size_t>(sector) * 512 + offset];
  }
  std::uint8_t* InCluster(std::uint32_t n, std::size_t offset) {
    return At(l.ClusterSector(n), offset);
  }
  // A short entry in the root (or at `where`); returns its bytes.
  std::uint8_t* Short(const char* name11, std::uint8_t attr = 0x20, std::uint32_t cluster = 0,
                      std::uint8_t* where = nullptr) {
    std::uint8_t* e = where ? where : At(l.rootSector, std::size_t{32} * next++);
    std::copy_n(name11, 11, e);
    e[11] = attr;
    fat::PutLe16(e + 26, static_cast<std::uint16_t>(cluster));
    fat::PutLe16(e + 20, static_cast<std::uint16_t>(cluster >> 16));
    return e;
  }
  void Piece(std::uint8_t ord, std::uint8_t checksum, const std::u16string& chars) {
    std::uint8_t* e = At(l.rootSector, std::size_t{32} * next++);
    static constexpr std::size_t kAt[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    e[0] = ord, e[11] = 0x0F, e[13] = checksum;
    for (std::size_t i = 0; i < 13; ++i)
      fat::PutLe16(e + kAt[i], i < chars.size() ? chars[i] : i == chars.size() ? 0 : 0xFFFF);
  }
  fat::Tree Walk() {
    fat::MemorySource source(bytes);
    const fat::FatTable table = *fat::LoadFat(source, l, 0).table;
    return fat::WalkTree(source, table);
  }
};

std::uint8_t Sum(const char* name11) {
  return fat::ShortNameChecksum(reinterpret_cast<const std::uint8_t*>(name11));
}

TEST(FatTree, LongNamesAreGluedOnlyWhenWholeInOrderAndOfTheirShortEntry) {
  MemoryVolume v;
  v.Piece(0x42, Sum("ALONGF~1TXT"), u"ame.txt");
  v.Piece(0x01, Sum("ALONGF~1TXT"), u"A long file n");
  v.Short("ALONGF~1TXT");
  v.Piece(0x41, Sum("OTHER   TXT"), u"wrong.txt");  // another short name's checksum
  v.Short("WRONG   TXT");
  v.Piece(0x43, Sum("ORDER   TXT"), u"c");
  v.Piece(0x01, Sum("ORDER   TXT"), u"a");  // piece 2 is missing
  v.Short("ORDER   TXT");
  v.Piece(0x01, 0, u"orphan");
  v.Short("\005BC     TXT");                                // 0x05 stands for a first byte 0xE5
  v.Short("\345EL     TXT");                                // 0xE5: deleted
  v.At(v.l.rootSector, std::size_t{32} * v.next++)[0] = 0;  // the end: what follows is not read
  v.Short("AFTER   TXT");
  const fat::Tree t = v.Walk();
  fat::MemorySource source(v.bytes);
  fat::TreeNames n(t, source);
  std::vector<std::string> names;
  for (std::uint32_t i = 1; i < t.nodes.size(); ++i)
    names.push_back(n.Name(i) + (t.nodes[i].deleted ? " (deleted)" : ""));
  EXPECT_EQ(names, (std::vector<std::string>{"A long file name.txt", "WRONG.TXT", "ORDER.TXT",
                                             "\u00D5BC.TXT", "_EL.TXT (deleted)"}));
  EXPECT_EQ(t.problems,
            (std::vector<std::string>{
                "/: long name (sector 2, offset 96) with a wrong checksum for WRONG.TXT; not used",
                "/: long-name piece (sector 2, offset 192) out of order; not used",
                "/: long-name piece (sector 2, offset 256) without the pieces before it "
                "(orphaned); not used"}));
  EXPECT_EQ(n.Find("/a LONG file NAME.TXT"), 1u);
  EXPECT_EQ(n.Find("alongf~1.txt"), 1u);
  EXPECT_EQ(n.Find("/DEL.TXT"), 5u);  // a deleted name's first character is lost
  EXPECT_FALSE(n.Find("/AFTER.TXT"));
}

// Hostile entries: a piece numbered 0 with the checksum of the complete name before it (its
// characters once went 13 places before the name's buffer), numbers above 20, and names that
// hold "/", control characters and bytes the code page lacks, which paths show as escapes
// that find them again.
TEST(FatTree, HostilePiecesAreRefusedAndOddNamesStayUnambiguous) {
  MemoryVolume v;
  v.Piece(0x41, Sum("GOOD    TXT"), u"good.txt");
  v.Piece(0x20, Sum("GOOD    TXT"), u"AAAAAAAAAAAAA");  // number 0 after a complete name
  v.Short("GOOD    TXT");
  v.Piece(0x55, Sum("BIG     TXT"), u"x");  // 21 pieces
  v.Short("BIG     TXT");
  v.Piece(0x41, Sum("SLASH   TXT"), u"a/b\x01.txt");
  v.Short("SLASH   TXT");
  v.Short("A/\001\201    BIN");
  v.Short("\005E5NAME TXT")[12] = 0x10;  // a stored 0x05 is 0xE5; the extension in lower case
  const fat::Tree t = v.Walk();
  EXPECT_EQ(t.problems,
            (std::vector<std::string>{
                "/: long-name pieces (sector 2, offset 0) not followed by their short entry "
                "(orphaned); not used",
                "/: long-name piece (sector 2, offset 32) with the sequence number 0; not used",
                "/: long-name piece (sector 2, offset 96) with the sequence number 21; not used"}));
  fat::MemorySource source(v.bytes);
  const struct {
    OemCodePage page;
    std::vector<std::string> names;
  } pages[] = {
      {OemCodePage::Cp850,
       {"GOOD.TXT", "BIG.TXT", "a\\x2Fb\\x01.txt", "A\\x2F\\x01\u00FC.BIN", "\u00D5E5NAME.txt"}},
      {OemCodePage::Cp1252,
       {"GOOD.TXT", "BIG.TXT", "a\\x2Fb\\x01.txt", "A\\x2F\\x01\\x81.BIN", "\u00E5E5NAME.txt"}}};
  for (const auto& [page, expected] : pages) {
    fat::TreeNames n(t, source, page);
    std::vector<std::string> names;
    for (std::uint32_t i = 1; i < t.nodes.size(); ++i) {
      names.push_back(n.Name(i));
      EXPECT_EQ(n.Find(n.Path(i)), i) << n.Path(i);
    }
    EXPECT_EQ(names, expected);
  }
  fat::TreeNames n(t, source);
  EXPECT_EQ(n.Find("/A\\x2f\\x01\u00DC.bin"), 4u);  // "Ü" is the upper case of 0x81 in 850
  EXPECT_FALSE(n.Find("/A/\\x01\u00FC.BIN"));
  EXPECT_EQ(FoldCase(U'\u00C9'), U'\u00E9');  // Latin-1, Greek, Cyrillic, the final sigma
  EXPECT_EQ(FoldCase(U'\u0391'), U'\u03B1');
  EXPECT_EQ(FoldCase(U'\u03C2'), U'\u03C3');
  EXPECT_EQ(FoldCase(U'\u0416'), U'\u0436');
  EXPECT_EQ(OemUpper(OemCodePage::Cp437, 0x81), 0x9A);
  EXPECT_EQ(OemUpper(OemCodePage::Cp1252, 0xFF), 0x9F);
}

TEST(FatTree, ChainEndsAndLoopsAreFoundInOneWalkOfTheChain) {
  MemoryVolume v(1000000, FatKind::Fat32, 0);
  for (std::uint32_t n = 2; n < 999999; ++n) v.Entry(n, n + 1);
  v.Entry(999999, 500000);  // a loop back into the chain
  v.Entry(10, 0);           // ... which the chain from 3 does not reach: entry 10 says free
  fat::MemorySource source(v.bytes);
  const fat::FatTable table = *fat::LoadFat(source, v.l, 0).table;
  fat::ChainFollower follower(table);
  for (int twice = 0; twice < 2; ++twice) {  // the bitmap is clear again after each walk
    const fat::ChainEnd loop = follower.Walk(11, [](std::uint32_t) { return true; });
    EXPECT_EQ(std::tuple(loop.stop, loop.length, loop.last),
              std::tuple(fat::ChainStop::Loop, 999989u, 999999u));
  }
  fat::ChainEnd end;
  EXPECT_EQ(follower.Follow(3, &end), (std::vector<std::uint32_t>{3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(fat::StopText(end, v.l), "runs into free cluster 10 (from cluster 9)");
  v.Entry(1000001, 0x0FFFFFF8);
  EXPECT_EQ(fat::StopText(follower.Walk(1000002, [](std::uint32_t) { return true; }), v.l),
            "cluster 1000002 is not a data cluster (2 to 1000001)");
}

// Directories that name themselves, their parent or each other are walked once each, and a
// directory chain that loops is read once around.
TEST(FatTree, DirectoriesReachedTwiceAreWalkedOnce) {
  MemoryVolume v(100, FatKind::Fat32);
  v.Entry(2, 0x0FFFFFFF);  // the root: cluster 2
  v.Entry(3, 4);
  v.Entry(4, 3);  // A: clusters 3, 4, 3, ...
  v.Short("A          ", 0x10, 3, v.InCluster(2, 0));
  v.Short("SELF       ", 0x10, 3, v.InCluster(3, 0));
  v.Short("ROOT       ", 0x10, 2, v.InCluster(3, 32));
  for (std::size_t e = 64; e < 512; e += 32) v.InCluster(3, e)[0] = 0xE5;  // on into cluster 4
  const fat::Tree t = v.Walk();
  EXPECT_EQ(t.nodes.size(), 2u + 2 + 14);  // the root, A, SELF, ROOT and 14 deleted entries
  EXPECT_EQ(t.problems,
            (std::vector<std::string>{
                "/A: chain loop: cluster 4 points back to cluster 3",
                "/A/SELF: cluster 3 belongs to a directory met before; not walked again",
                "/A/ROOT: cluster 2 belongs to a directory met before; not walked again"}));
}

}  // namespace
}  // namespace dulvex::testing
