#include "fat/file_data.h"

#include <algorithm>

namespace dulvex::fat {

namespace {

constexpr std::uint64_t kCopyChunk = 8u << 20;

std::string Bytes(std::uint64_t n) {
  return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

}  // namespace

FileExtents PlanFile(ChainFollower& follower, std::uint32_t firstCluster, std::uint64_t size,
                     bool deleted, Recovery recovery) {
  const Layout& l = follower.fat().layout();
  FileExtents f;
  f.size = size;
  if (size == 0) return f;
  const std::uint64_t needed = (size + l.clusterBytes - 1) / l.clusterBytes;
  if (!l.IsCluster(firstCluster)) {
    f.shortfall = "its first cluster " + std::to_string(firstCluster) +
                  " is not a data cluster (2 to " + std::to_string(l.MaxCluster()) + ")";
    return f;
  }
  std::uint64_t clusters = 0;
  if (deleted) {
    f.assumed = true;
    clusters = std::min<std::uint64_t>(needed, l.MaxCluster() - firstCluster + 1);
    if (clusters < needed)
      f.shortfall = "the volume ends after cluster " + std::to_string(l.MaxCluster());
    if (recovery == Recovery::StopAtInUse) {
      for (std::uint64_t i = 0; i < clusters; ++i) {
        const auto c = static_cast<std::uint32_t>(firstCluster + i);
        if (follower.fat().At(c).kind != EntryKind::Free) {
          f.shortfall = "cluster " + std::to_string(c) + " is in use";
          clusters = i;
          break;
        }
      }
    }
    if (clusters > 0) f.runs.push_back({firstCluster, static_cast<std::uint32_t>(clusters)});
  } else {
    std::vector<std::uint32_t> chain;
    f.end = follower.Walk(firstCluster, [&](std::uint32_t c) {
      chain.push_back(c);
      return chain.size() < needed;
    });
    clusters = chain.size();
    f.runs = RunsOf(chain);
    if (clusters < needed)
      f.shortfall = "its chain holds " + std::to_string(clusters) + " of the " +
                    std::to_string(needed) + " clusters it needs (" + StopText(f.end, l) + ")";
  }
  f.readable = std::min<std::uint64_t>(size, clusters * l.clusterBytes);
  if (!f.shortfall.empty())
    f.shortfall = Bytes(f.readable) + " of " + Bytes(size) + " can be read: " + f.shortfall;
  return f;
}

CopyResult CopyFile(ByteSource& source, const Layout& layout, const FileExtents& file,
                    ByteSink& sink, WorkProgress* progress) {
  CopyResult r;
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(
      std::min<std::uint64_t>(kCopyChunk, std::max<std::uint64_t>(file.readable, 1))));
  const std::uint64_t chunkClusters = std::max<std::uint64_t>(1, kCopyChunk / layout.clusterBytes);
  for (const Run& run : file.runs) {
    for (std::uint64_t done = 0; done < run.count && r.copied < file.readable;) {
      if (progress != nullptr) {
        progress->Report(r.copied, file.readable);
        if (progress->Cancelled()) return r.cancelled = true, r;
      }
      const std::uint64_t clusters = std::min<std::uint64_t>(chunkClusters, run.count - done);
      const std::uint64_t bytes =
          std::min<std::uint64_t>(clusters * layout.clusterBytes, file.readable - r.copied);
      if (buffer.size() < bytes) buffer.resize(bytes);
      const std::int64_t sector =
          layout.ClusterSector(run.first + static_cast<std::uint32_t>(done));
      std::uint64_t good = bytes;
      // Read whole sectors; the file's last one may hold more than its size.
      const std::uint64_t sectorBytes = (bytes + kSectorBytes - 1) / kSectorBytes * kSectorBytes;
      if (buffer.size() < sectorBytes) buffer.resize(sectorBytes);
      r.failure = ReadSectors(source, sector, std::span(buffer).first(sectorBytes));
      if (r.failure)
        good = std::min<std::uint64_t>(
            bytes, static_cast<std::uint64_t>(r.failure->sector - sector) * kSectorBytes);
      if (good > 0 && !(r.sink = sink.Write(std::span(buffer).first(good))).ok()) return r;
      r.copied += good;
      if (r.failure) return r;
      done += clusters;
    }
  }
  if (progress != nullptr) progress->Report(r.copied, file.readable);
  return r;
}

}  // namespace dulvex::fat
