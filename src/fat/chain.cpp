#include "fat/chain.h"

#include <algorithm>
#include <string_view>

#include "base/numbers.h"

namespace dulvex::fat {

namespace {

// Texts and numbers added to one string.
void Add(std::string& text, std::string_view piece) {
  text += piece;
}
void Add(std::string& text, std::uint64_t n) {
  AppendDecimal(text, n);
}
template <typename... Pieces>
std::string Join(Pieces... pieces) {
  std::string text;
  text.reserve(96);
  (Add(text, pieces), ...);
  return text;
}

}  // namespace

std::string StopText(const ChainEnd& end, const Layout& layout) {
  const std::uint64_t last = end.last;
  const Entry e{end.value, EntryKind::Free};
  switch (end.stop) {
    case ChainStop::End:
      return "end of chain";
    case ChainStop::Free:
    case ChainStop::Bad: {
      const std::string_view kind = end.stop == ChainStop::Free ? "free" : "bad";
      const std::uint64_t into = end.into;
      if (end.length == 0) return Join("cluster ", into, " is ", kind, ": the chain is empty");
      return Join("runs into ", kind, " cluster ", into, " (from cluster ", last, ")");
    }
    case ChainStop::OutOfRange:
      return Join("ends at cluster ", last, ": it points to ", std::uint64_t{e.Next()},
                  ", past the last cluster (", std::uint64_t{layout.MaxCluster()}, ")");
    case ChainStop::Reserved:
      return Join("ends at cluster ", last, ": its entry is ",
                  std::string_view(EntryText({end.value, EntryKind::Reserved})));
    case ChainStop::Loop:
      return Join("loop: cluster ", last, " points back to cluster ", std::uint64_t{e.Next()});
    case ChainStop::NotACluster:
      return Join("cluster ", std::uint64_t{end.start}, " is not a data cluster (2 to ",
                  std::uint64_t{layout.MaxCluster()}, ")");
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
    if (clusters.empty()) clusters.reserve(16);  // most chains at once
    clusters.push_back(n);
    return true;
  });
  if (end != nullptr) *end = e;
  return clusters;
}

std::vector<Run> RunsOf(std::span<const std::uint32_t> clusters) {
  std::vector<Run> runs;
  if (!clusters.empty()) runs.reserve(std::min<std::size_t>(clusters.size(), 16));
  ForEachRun(clusters, [&runs](const Run& r) { runs.push_back(r); });
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
