#include "fat_bench_volume.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/le.h"
#include "fat/dir_entry.h"
#include "fat/layout.h"
#include "support/test_support.h"
#include "volume/boot_sector.h"

namespace dulvex::bench {

namespace {

constexpr std::uint64_t kSectors = std::uint64_t{64} << 20;  // 32 GiB
constexpr int kDirectories = 100, kFilesPerDirectory = 100;
constexpr std::uint32_t kFileClusters = 74, kBigClusters = 262144, kBigRun = 1024;

void WriteAt(int fd, std::uint64_t offset, const void* data, std::size_t size) {
  if (::pwrite(fd, data, size, static_cast<off_t>(offset)) != static_cast<ssize_t>(size))
    throw std::runtime_error("cannot write the bench image");
}

// Writes directory entries into a buffer of whole clusters.
class DirectoryWriter {
 public:
  explicit DirectoryWriter(std::uint32_t clusterBytes) : clusterBytes_(clusterBytes) {}
  void Dots(std::uint32_t self, std::uint32_t parent) {
    Short(".          ", fat::kAttrDirectory, self, 0);
    Short("..         ", fat::kAttrDirectory, parent, 0);
  }
  // A long name (up to 255 characters) in `pieces` pieces (0: as many as it needs, none for
  // an empty name), then its short entry.
  void File(const std::string& longName, const std::string& name11, std::uint8_t attr,
            std::uint32_t cluster, std::uint32_t size, int pieces = 0) {
    const std::uint8_t sum =
        fat::ShortNameChecksum(reinterpret_cast<const std::uint8_t*>(name11.data()));
    static constexpr std::size_t kAt[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    const int count = pieces > 0         ? pieces
                      : longName.empty() ? 0
                                         : static_cast<int>(longName.size() / 13 + 1);
    for (int piece = count; piece >= 1; --piece) {
      std::uint8_t* e = Next();
      e[0] = static_cast<std::uint8_t>(piece | (piece == count ? fat::kLastPieceFlag : 0));
      e[11] = fat::kAttrLongName;
      e[13] = sum;
      for (std::size_t i = 0; i < 13; ++i) {
        const std::size_t k = static_cast<std::size_t>(piece - 1) * 13 + i;
        fat::PutLe16(e + kAt[i], k < longName.size()    ? static_cast<std::uint8_t>(longName[k])
                                 : k == longName.size() ? 0
                                                        : 0xFFFF);
      }
    }
    Short(name11, attr, cluster, size);
  }
  void Clear() { bytes_.clear(); }
  std::uint32_t Clusters() const {
    return static_cast<std::uint32_t>((bytes_.size() + clusterBytes_ - 1) / clusterBytes_);
  }
  std::vector<std::uint8_t> Bytes() const {
    std::vector<std::uint8_t> b = bytes_;
    b.resize(std::uint64_t{Clusters()} * clusterBytes_);
    return b;
  }

 private:
  std::uint8_t* Next() {
    bytes_.resize(bytes_.size() + 32);
    return &bytes_[bytes_.size() - 32];
  }
  void Short(const std::string& name11, std::uint8_t attr, std::uint32_t cluster,
             std::uint32_t size) {
    std::uint8_t* e = Next();
    std::copy_n(name11.data(), 11, e);
    e[fat::kDirAttr] = attr;
    fat::PutLe16(e + fat::kDirFstClusHI, static_cast<std::uint16_t>(cluster >> 16));
    fat::PutLe16(e + fat::kDirFstClusLO, static_cast<std::uint16_t>(cluster));
    fat::PutLe32(e + fat::kDirFileSize, size);
  }
  std::uint32_t clusterBytes_;
  std::vector<std::uint8_t> bytes_;
};

std::string Number(int n, int digits) {
  std::string s = std::to_string(n);
  return std::string(static_cast<std::size_t>(digits) - s.size(), '0') + s;
}

struct Generator {
  fat::Layout l;
  std::vector<std::uint8_t> fat;
  std::uint32_t next = 3;  // the next free cluster; the root is cluster 2
  int fd = -1;
  FatBenchVolume v;

  void Link(std::uint32_t from, std::uint32_t to) { fat::PutLe32(&fat[4 * std::size_t{from}], to); }
  // `count` clusters from `first` chained, the last one linked to `then`.
  void Run(std::uint32_t first, std::uint32_t count, std::uint32_t then) {
    for (std::uint32_t i = 0; i + 1 < count; ++i) Link(first + i, first + i + 1);
    Link(first + count - 1, then);
    v.clustersInUse += count;
  }
  std::uint32_t Directory(const DirectoryWriter& w, std::uint32_t first) {
    Run(first, w.Clusters(), 0x0FFFFFFF);
    const std::vector<std::uint8_t> bytes = w.Bytes();
    WriteAt(fd, l.ClusterOffset(first), bytes.data(), bytes.size());
    return first;
  }

  void Make() {
    const std::vector<std::uint8_t> boot = testing::ReadBytes(v.image, 0, 0, 512);
    SectorBytes b{};
    std::copy(boot.begin(), boot.end(), b.begin());
    l = *fat::LayoutOf(ReadBootSector(b, {}).geometry).layout;
    fat.assign(static_cast<std::size_t>(l.fatSectors) * 512, 0);
    fat::PutLe32(&fat[0], 0x0FFFFFF8);
    fat::PutLe32(&fat[4], 0x0FFFFFFF);
    fd = ::open(v.image.c_str(), O_RDWR);
    DirectoryWriter root(l.clusterBytes);
    // The files of each directory, two at a time, each in two runs of half its clusters.
    const std::uint32_t size = kFileClusters * l.clusterBytes - 100, half = kFileClusters / 2;
    for (int d = 0; d < kDirectories; ++d) {
      DirectoryWriter dir(l.clusterBytes);
      const std::uint32_t self = next;
      next += 3;  // the directory's own clusters (302 entries)
      dir.Dots(self, 0);
      for (int f = 0; f < kFilesPerDirectory; f += 2, next += 4 * half) {
        for (int k = 0; k < 2; ++k) {
          const std::uint32_t first = next + static_cast<std::uint32_t>(k) * half;
          Run(first, half, first + 2 * half);
          Run(first + 2 * half, half, 0x0FFFFFFF);
          const int n = d * kFilesPerDirectory + f + k;
          dir.File("Bench file number " + Number(n, 5) + ".dat", "BF" + Number(n, 5) + " DAT", 0x20,
                   first, size, 2);
          ++v.files;
        }
      }
      if (dir.Clusters() != 3) throw std::runtime_error("bench directory size");
      Directory(dir, self);
      root.File("Bench directory " + Number(d, 3), "BDIR" + Number(d, 3) + "    ",
                fat::kAttrDirectory, self, 0, 2);
    }
    // The big file, in runs with one free cluster between them; its data written for real.
    v.bigFile = ++next;
    v.bigSize = std::uint64_t{kBigClusters} * l.clusterBytes;
    std::vector<std::uint8_t> data(std::size_t{kBigRun} * l.clusterBytes);
    for (std::size_t i = 0; i < data.size(); ++i)
      data[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
    for (std::uint32_t done = 0; done < kBigClusters; done += kBigRun, next += kBigRun + 1) {
      Run(next, kBigRun, done + kBigRun < kBigClusters ? next + kBigRun + 1 : 0x0FFFFFFF);
      WriteAt(fd, l.ClusterOffset(next), data.data(), data.size());
    }
    root.File("The big file.bin", "BIG     BIN", 0x20, v.bigFile,
              static_cast<std::uint32_t>(v.bigSize), 2);
    ++v.files;
    if (root.Clusters() > 8) throw std::runtime_error("bench root size");
    Run(2, root.Clusters(), 0x0FFFFFFF);  // the root: clusters 2 ... (kept free by `next`)
    std::vector<std::uint8_t> rootBytes = root.Bytes();
    WriteAt(fd, l.ClusterOffset(2), rootBytes.data(), rootBytes.size());
    for (unsigned k = 0; k < l.numFats; ++k)
      WriteAt(fd, static_cast<std::uint64_t>(l.FatSector(k)) * 512, fat.data(), fat.size());
    ::fsync(fd);
    ::close(fd);
  }
};

// Short names "L" and seven digits: unique over the whole volume.
std::string ShortName(std::uint64_t n, const char* ext) {
  return "L" + Number(static_cast<int>(n), 7) + ext;
}

void MakeLongNames(LongNamesVolume& v) {
  constexpr std::uint64_t kFiles = 2000000, kPerDirectory = 3000;
  const std::vector<std::uint8_t> boot = testing::ReadBytes(v.image, 0, 0, 512);
  SectorBytes b{};
  std::copy(boot.begin(), boot.end(), b.begin());
  const fat::Layout l = *fat::LayoutOf(ReadBootSector(b, {}).geometry).layout;
  std::vector<std::uint8_t> table(static_cast<std::size_t>(l.fatSectors) * 512, 0);
  auto link = [&](std::uint32_t from, std::uint32_t to) {
    fat::PutLe32(&table[4 * std::size_t{from}], to);
  };
  link(0, 0x0FFFFFF8);
  link(1, 0x0FFFFFFF);
  const int fd = ::open(v.image.c_str(), O_RDWR);
  auto write = [&](const DirectoryWriter& w, std::uint32_t first) {
    const std::uint32_t n = w.Clusters();
    for (std::uint32_t i = 0; i + 1 < n; ++i) link(first + i, first + i + 1);
    link(first + n - 1, 0x0FFFFFFF);
    const std::vector<std::uint8_t> bytes = w.Bytes();
    WriteAt(fd, l.ClusterOffset(first), bytes.data(), bytes.size());
    return n;
  };
  constexpr std::uint32_t kRootClusters = 8;
  std::uint32_t next = 2 + kRootClusters;
  DirectoryWriter root(l.clusterBytes), dir(l.clusterBytes);
  std::string name(255, 'x');
  for (std::uint64_t first = 0; first < kFiles; first += kPerDirectory) {
    const std::uint64_t d = first / kPerDirectory;
    dir.Clear();
    dir.Dots(next, 0);
    for (std::uint64_t f = first; f < std::min(kFiles, first + kPerDirectory); ++f) {
      const std::string n = "Long file name " + std::to_string(f) + " ";
      std::copy(n.begin(), n.end(), name.begin());
      dir.File(name, ShortName(f, "TXT"), 0x20, 0, 0);
      ++v.files;
    }
    root.File("", ShortName(d, "   "), fat::kAttrDirectory, next, 0);
    next += write(dir, next);
  }
  if (root.Clusters() > kRootClusters) throw std::runtime_error("long-names root size");
  write(root, 2);
  for (unsigned k = 0; k < l.numFats; ++k)
    WriteAt(fd, static_cast<std::uint64_t>(l.FatSector(k)) * 512, table.data(), table.size());
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

const LongNamesVolume& LongNamesBenchVolume() {
  static std::unique_ptr<testing::TempDir> dir;
  static LongNamesVolume volume = [] {
    if (const char* where = std::getenv("DULVEX_BENCH_DIR")) ::setenv("TMPDIR", where, 1);
    dir = std::make_unique<testing::TempDir>();
    LongNamesVolume v;
    v.image = dir->path() / "long-names.img";
    testing::MakeFatImage(v.image, std::uint64_t{4} << 20, "-F 32 -s 8");
    MakeLongNames(v);
    return v;
  }();
  return volume;
}

const FatBenchVolume& BenchVolume() {
  static std::unique_ptr<testing::TempDir> dir;
  static FatBenchVolume volume = [] {
    if (const char* where = std::getenv("DULVEX_BENCH_DIR")) ::setenv("TMPDIR", where, 1);
    dir = std::make_unique<testing::TempDir>();
    Generator g;
    g.v.image = dir->path() / "fat32.img";
    testing::MakeFatImage(g.v.image, kSectors, "-F 32 -s 8");
    g.next = 2 + 8;  // room for the root directory's clusters
    g.Make();
    return g.v;
  }();
  return volume;
}

}  // namespace dulvex::bench
