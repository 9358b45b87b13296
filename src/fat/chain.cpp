#include "fat/chain.h"

namespace dulvex::fat {

std::string StopText(const ChainEnd& end, const Layout& layout) {
  const std::string last = std::to_string(end.last);
  const Entry e{end.value, EntryKind::Free};
  switch (end.stop) {
    case ChainStop::End:
      return "end of chain";
    case ChainStop::Free:
    case ChainStop::Bad: {
      const std::string into = std::to_string(end.into);
      const char* kind = end.stop == ChainStop::Free ? "free" : "bad";
      if (end.length == 0) return "cluster " + into + " is " + kind + ": the chain is empty";
      return "runs into " + std::string(kind) + " cluster " + into + " (from cluster " + last + ")";
    }
    case ChainStop::OutOfRange:
      return "ends at cluster " + last + ": it points to " + std::to_string(e.Next()) +
             ", past the last cluster (" + std::to_string(layout.MaxCluster()) + ")";
    case ChainStop::Reserved:
      return "ends at cluster " + last + ": its entry is " +
             EntryText({end.value, EntryKind::Reserved});
    case ChainStop::Loop:
      return "loop: cluster " + last + " points back to cluster " + std::to_string(e.Next());
    case ChainStop::NotACluster:
      return "cluster " + std::to_string(end.start) + " is not a data cluster (2 to " +
             std::to_string(layout.MaxCluster()) + ")";
    case ChainStop::Cut:
      break;
  }
  return "not followed further";
}

void ChainFollower::Unmark(std::uint32_t start, std::uint64_t length) {
  // Each cluster marked was followed from the one before, so the same steps reach them all.
  std::uint32_t n = start;
  for (std::uint64_t i = 0; i < length; ++i) {
    seen_[n / 64] &= ~(std::uint64_t{1} << (n % 64));
    n = fat_.At(n).Next();
    if (!fat_.layout().IsCluster(n)) break;
  }
}

std::vector<std::uint32_t> ChainFollower::Follow(std::uint32_t start, ChainEnd* end) {
  std::vector<std::uint32_t> clusters;
  const ChainEnd e = Walk(start, [&clusters](std::uint32_t n) {
    clusters.push_back(n);
    return true;
  });
  if (end != nullptr) *end = e;
  return clusters;
}

std::vector<Run> RunsOf(std::span<const std::uint32_t> clusters) {
  std::vector<Run> runs;
  for (const std::uint32_t n : clusters) {
    if (!runs.empty() && runs.back().last() + 1 == n)
      ++runs.back().count;
    else
      runs.push_back({n, 1});
  }
  return runs;
}

std::string RangesText(std::span<const Run> runs, std::size_t most) {
  std::string text;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    if (i > 0) text += ", ";
    if (i == most) return text + "...";
    text += std::to_string(runs[i].first);
    if (runs[i].count > 1) text += "-" + std::to_string(runs[i].last());
  }
  return text;
}

}  // namespace dulvex::fat
