// The chains of every entry, the clusters two chains share, the FAT entries that name no
// cluster, and the lost chains: allocated clusters that no entry owns.
#include <map>

#include "base/le.h"
#include "check/checker_parts.h"
#include "fat/dir_entry.h"

namespace dulvex::check {

namespace {

bool Bit(const std::vector<std::uint64_t>& bits, std::uint32_t n) {
  return (bits[n / 64] >> (n % 64) & 1) != 0;
}
void SetBit(std::vector<std::uint64_t>& bits, std::uint32_t n) {
  bits[n / 64] |= std::uint64_t{1} << (n % 64);
}

// The first-cluster field of a short entry: bytes 26-27, and 20-21 on FAT32.
Place ClusterField(Place entry, const fat::Layout& l) {
  if (l.kind == fat::FatKind::Fat32) return {entry.sector, entry.offset + 20};
  return {entry.sector, entry.offset + 26};
}

}  // namespace

void Checker::Chains() {
  const fat::Tree& t = *r_.tree;
  const fat::Layout& l = *r_.layout;
  const fat::FatTable& fat = r_.fat();
  const std::uint32_t clusterLength = l.kind == fat::FatKind::Fat32 ? 8 : 2;
  for (std::uint32_t i = 0; i < t.nodes.size(); ++i) {
    if (i % 4096 == 0) {
      steps_.Report(i, t.nodes.size());
      if (Stopped()) return;
    }
    const fat::Node& n = t.nodes[i];
    if (n.deleted || n.IsVolumeLabel() || (i == 0 && l.kind != fat::FatKind::Fat32)) continue;
    const bool dir = i == 0 || n.IsDirectory();
    Finding f;
    f.node = i;
    f.entry = PlaceOfNode(t, i);
    f.firstCluster = n.firstCluster;
    const std::string what = dir ? "The directory " + Path(i) : Path(i);
    auto add = [&](FindingKind kind, Severity severity, Place at, std::uint32_t length,
                   std::string text) {
      Finding g = f;
      g.kind = kind;
      g.severity = severity;
      g.at = at;
      g.length = length;
      g.path = Path(i);
      g.text = std::move(text);
      Add(std::move(g));
    };
    const Place sizeField{f.entry.sector, f.entry.offset + 28};
    if (i != 0 && dir && n.size != 0) {
      f.value = n.size;
      add(FindingKind::DirectoryNonZeroSize, Severity::Warning, sizeField, 4,
          what + " has the size " + std::to_string(n.size) + "; a directory's size must be 0.");
    }
    if (i != 0 && n.firstCluster == 0) {
      if (dir) {
        add(FindingKind::FirstClusterOutOfRange, Severity::Error, ClusterField(f.entry, l),
            clusterLength, what + " has the first cluster 0, which would make it the root.");
      } else if (n.size != 0) {
        f.value = n.size;
        add(FindingKind::FileSizeTooLarge, Severity::Error, sizeField, 4,
            what + " is " + std::to_string(n.size) + " bytes long, but has no clusters.");
      }
      continue;
    }
    if (!l.IsCluster(n.firstCluster)) {
      f.value = n.firstCluster;
      add(FindingKind::FirstClusterOutOfRange, Severity::Error, ClusterField(f.entry, l),
          clusterLength,
          what + " starts at cluster " + std::to_string(n.firstCluster) +
              (n.firstCluster < 2
                   ? ", which is no data cluster."
                   : ", past the last cluster (" + std::to_string(l.MaxCluster()) + ")."));
      continue;
    }
    // The chain as the owner map followed it: a link into a free or a bad cluster ends it
    // before that cluster.
    const std::uint64_t needed =
        dir ? 0 : (std::uint64_t{n.size} + l.clusterBytes - 1) / l.clusterBytes;
    const fat::ChainEnd& end = ends_[i];
    const std::uint64_t kept = end.length;
    const std::uint32_t last = end.last;
    const bool intoBad = end.stop == fat::ChainStop::Bad;
    const std::uint32_t into = intoBad || end.stop == fat::ChainStop::Free ? end.into : 0;
    f.clusters = kept;
    f.fatEntry = last;
    const Place lastEntry =
        kept > 0 ? FatEntryPlace(l, r_.fatInUse, last) : ClusterField(f.entry, l);
    const std::uint32_t lastLength = kept > 0 ? fat::BytesOfEntry(l.kind) : clusterLength;
    if (end.stop == fat::ChainStop::Loop) {
      f.cluster = last;
      f.value = end.value & 0x0FFFFFFF;
      add(FindingKind::ChainLoop, Severity::Error, lastEntry, lastLength,
          "The chain of " + Path(i) + " loops: cluster " + std::to_string(last) +
              " points back to cluster " + std::to_string(f.value) + ", met before in it.");
    } else if (into != 0) {
      f.cluster = into;
      const char* kind = intoBad ? "bad" : "free";
      add(intoBad ? FindingKind::ChainIntoBad : FindingKind::ChainIntoFree, Severity::Error,
          lastEntry, lastLength,
          kept == 0 ? what + " starts at cluster " + std::to_string(into) + ", which is " +
                          (intoBad ? "marked bad." : "free.")
                    : "The chain of " + Path(i) + " runs into " + kind + " cluster " +
                          std::to_string(into) + " after cluster " + std::to_string(last) + ".");
    }
    f.cluster = 0;
    if (dir) continue;
    if (n.size == 0 && kept > 0) {
      f.fatEntry = 0;
      add(FindingKind::EmptyFileWithClusters, Severity::Warning, ClusterField(f.entry, l),
          clusterLength,
          what + " is empty, but holds a chain of " + Count(kept, "cluster", "clusters") +
              " from cluster " + std::to_string(n.firstCluster) + ".");
    } else if (kept > needed) {
      std::uint32_t keep = n.firstCluster;  // the last cluster the size needs
      for (std::uint64_t k = 1; k < needed; ++k) keep = fat.At(keep).Next();
      f.fatEntry = keep;
      f.clusters = needed;
      f.value = kept;
      add(FindingKind::FileChainTooLong, Severity::Warning, FatEntryPlace(l, r_.fatInUse, keep),
          fat::BytesOfEntry(l.kind),
          what + " is " + std::to_string(n.size) + " bytes long, which needs " +
              Count(needed, "cluster", "clusters") + ", but its chain holds " +
              std::to_string(kept) + ".");
    } else if (kept < needed) {
      f.value = n.size;
      f.expected = kept * l.clusterBytes;
      add(FindingKind::FileSizeTooLarge, Severity::Error, sizeField, 4,
          what + " is " + std::to_string(n.size) + " bytes long, but its chain of " +
              Count(kept, "cluster", "clusters") + " holds only " + std::to_string(f.expected) +
              ".");
    }
  }
}

void Checker::CrossLinks() {
  const fat::Tree& t = *r_.tree;
  const fat::Layout& l = *r_.layout;
  const fat::FatTable& fat = r_.fat();
  struct Shared {
    std::uint32_t cluster, position, owner;
  };
  std::map<std::uint32_t, Shared> first;  // by node: the first cluster it shares
  for (const std::uint32_t c : r_.owners->CrossLinkedClusters()) {
    const fat::Owner o = r_.owners->Query(fat, c);
    for (const auto& [node, position] : o.others) {
      auto it = first.find(node);
      if (it == first.end() || position < it->second.position) first[node] = {c, position, o.node};
    }
  }
  for (const auto& [node, shared] : first) {
    Finding f;
    f.kind = FindingKind::CrossLink;
    f.node = node;
    f.other = shared.owner;
    f.entry = PlaceOfNode(t, node);
    f.firstCluster = node == 0 ? l.rootCluster : t.nodes[node].firstCluster;
    f.cluster = shared.cluster;
    f.clusters = shared.position - 1;
    std::uint32_t before = f.firstCluster;
    for (std::uint32_t k = 2; k < shared.position; ++k) before = fat.At(before).Next();
    f.fatEntry = shared.position > 1 ? before : 0;
    if (shared.position > 1) {
      f.at = FatEntryPlace(l, r_.fatInUse, before);
      f.length = fat::BytesOfEntry(l.kind);
    } else {
      f.at = ClusterField(f.entry, l);
      f.length = l.kind == fat::FatKind::Fat32 ? 8 : 2;
    }
    f.path = Path(node);
    f.otherPath = Path(shared.owner);
    f.text = f.path + " shares clusters with " + f.otherPath + " from cluster " +
             std::to_string(shared.cluster) + " on (cluster " + std::to_string(shared.position) +
             " of its chain).";
    Add(std::move(f));
  }
}

void Checker::Entries() {
  const fat::Layout& l = *r_.layout;
  const fat::FatTable& fat = r_.fat();
  const std::uint32_t max = l.MaxCluster();
  const std::span<const std::uint8_t> bytes = fat.bytes();
  // Most entries of a large volume are free: those are told by their bytes alone.
  auto value = [&](std::uint32_t c) -> std::uint32_t {
    switch (l.kind) {
      case fat::FatKind::Fat32:
        return fat::Le32(&bytes[std::size_t{c} * 4]) & 0x0FFFFFFF;
      case fat::FatKind::Fat16:
        return fat::Le16(&bytes[std::size_t{c} * 2]);
      case fat::FatKind::Fat12:
        break;
    }
    return fat.Value(c);
  };
  if (bytes.size() < fat::FirstByteOfEntry(l.kind, max) + fat::BytesOfEntry(l.kind)) return;
  std::vector<std::uint64_t> lost((std::uint64_t{max} + 64) / 64);
  std::uint64_t free = 0;
  for (std::uint32_t c = 2; c <= max; ++c) {
    if ((c & 0xFFFFF) == 0) {
      steps_.Report(c, std::uint64_t{max} * 2);
      if (Stopped()) return;
    }
    const std::uint32_t v = value(c);
    if (v == 0) {
      ++free;
      continue;
    }
    const fat::Entry e = fat.At(c);
    if (e.kind == fat::EntryKind::Bad) continue;
    const bool owned = r_.owners->Owned(c);
    if (!owned) SetBit(lost, c);
    if (e.kind != fat::EntryKind::Reserved && e.kind != fat::EntryKind::OutOfRange) continue;
    Finding f;
    f.kind = e.kind == fat::EntryKind::Reserved ? FindingKind::FatEntryReserved
                                                : FindingKind::FatEntryOutOfRange;
    f.at = FatEntryPlace(l, r_.fatInUse, c);
    f.length = fat::BytesOfEntry(l.kind);
    f.cluster = f.fatEntry = c;
    f.value = e.value;
    f.text = "The FAT entry of cluster " + std::to_string(c) +
             (f.kind == FindingKind::FatEntryReserved
                  ? " holds the reserved value " + Hex(e.value)
                  : " points to cluster " + std::to_string(e.Next()) + ", past the last cluster (" +
                        std::to_string(max) + ")");
    if (owned) {
      f.node = r_.owners->Query(fat, c).node;
      f.path = Path(f.node);
      f.text += "; the chain of " + f.path + " ends there.";
    } else {
      f.text += "; no entry owns the cluster.";
    }
    Add(std::move(f));
  }
  r_.freeClusters = free;
  LostChains(lost);
}

void Checker::LostChains(const std::vector<std::uint64_t>& lost) {
  const fat::Layout& l = *r_.layout;
  const fat::FatTable& fat = r_.fat();
  // A chain's head is a lost cluster no other lost cluster points to; clusters left over
  // after following every head lie on loops of lost clusters.
  std::vector<std::uint64_t> pointed(lost.size()), visited(lost.size());
  for (std::uint32_t w = 0; w < lost.size(); ++w) {
    for (std::uint64_t bits = lost[w]; bits != 0; bits &= bits - 1) {
      const std::uint32_t c = w * 64 + static_cast<std::uint32_t>(__builtin_ctzll(bits));
      const fat::Entry e = fat.At(c);
      if (e.kind == fat::EntryKind::Next && Bit(lost, e.Next())) SetBit(pointed, e.Next());
    }
  }
  auto follow = [&](std::uint32_t head) {
    std::uint64_t length = 0;
    for (std::uint32_t c = head; l.IsCluster(c) && Bit(lost, c) && !Bit(visited, c);) {
      SetBit(visited, c);
      ++length;
      const fat::Entry e = fat.At(c);
      if (e.kind != fat::EntryKind::Next) break;
      c = e.Next();
    }
    r_.lostChains.push_back({head, length});
    Finding f;
    f.kind = FindingKind::LostChain;
    f.severity = Severity::Warning;
    f.at = FatEntryPlace(l, r_.fatInUse, head);
    f.length = fat::BytesOfEntry(l.kind);
    f.cluster = f.firstCluster = f.fatEntry = head;
    f.clusters = length;
    f.text = "A chain of " + Count(length, "cluster", "clusters") + " from cluster " +
             std::to_string(head) + " (" + std::to_string(length * l.clusterBytes) +
             " bytes) is allocated, but no entry owns it.";
    Add(std::move(f));
  };
  for (int pass = 0; pass < 2; ++pass) {
    for (std::uint32_t w = 0; w < lost.size(); ++w) {
      for (std::uint64_t bits = lost[w] & ~visited[w] & (pass == 1 ? ~0ull : ~pointed[w]);
           bits != 0; bits &= bits - 1) {
        const std::uint32_t c = w * 64 + static_cast<std::uint32_t>(__builtin_ctzll(bits));
        if (!Bit(visited, c)) follow(c);
      }
    }
  }
}

}  // namespace dulvex::check
