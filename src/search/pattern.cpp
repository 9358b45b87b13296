#include "search/pattern.h"

#include <algorithm>
#include <array>

#include "base/codepage.h"
#include "base/unicode_case.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define DULVEX_X86 1
#endif

namespace dulvex::search {

namespace {

// ---- Block tests ------------------------------------------------------------------------------
// Each looks at a stripe of `blocks` blocks of 64 offsets from p. When no offset has both
// anchors' bytes (nearly always) it returns 0 at once; otherwise it writes, for block i, the
// bit mask of the offsets that have them, and returns all masks or-ed together. The caller
// guarantees that p + 64 * blocks - 1 plus the farther anchor is readable. kFold: an anchor
// takes either case of a letter; without it the fold is 0 and is left out.
using BlockTest = std::uint64_t (*)(const std::uint8_t* p, std::size_t blocks, const Anchors& k,
                                    std::uint64_t* bits);

#ifdef DULVEX_X86
// The offsets q .. q + 15 (SSE2) or q .. q + 31 (AVX2) where both anchors pass, as byte masks.
// c holds fold1, want1, fold2, want2 in every byte.
template <bool kFold>
__attribute__((always_inline)) inline __m128i Hits16(const std::uint8_t* q, const Anchors& k,
                                                     const __m128i* c) {
  __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + k.at1));
  __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + k.at2));
  if constexpr (kFold) x = _mm_or_si128(x, c[0]), y = _mm_or_si128(y, c[2]);
  return _mm_and_si128(_mm_cmpeq_epi8(x, c[1]), _mm_cmpeq_epi8(y, c[3]));
}

template <bool kFold>
std::uint64_t BlocksSse2(const std::uint8_t* p, std::size_t blocks, const Anchors& k,
                         std::uint64_t* bits) {
  const __m128i c[4] = {
      _mm_set1_epi8(static_cast<char>(k.fold1)), _mm_set1_epi8(static_cast<char>(k.want1)),
      _mm_set1_epi8(static_cast<char>(k.fold2)), _mm_set1_epi8(static_cast<char>(k.want2))};
  __m128i seen = _mm_setzero_si128();
  for (std::size_t i = 0; i < 64 * blocks; i += 32)
    seen = _mm_or_si128(seen,
                        _mm_or_si128(Hits16<kFold>(p + i, k, c), Hits16<kFold>(p + i + 16, k, c)));
  if (_mm_movemask_epi8(seen) == 0) return 0;
  std::uint64_t any = 0;
  for (std::size_t i = 0; i < blocks; ++i) {
    std::uint64_t mask = 0;
    for (int j = 0; j < 64; j += 16) {
      const int m = _mm_movemask_epi8(Hits16<kFold>(p + 64 * i + j, k, c));
      mask |= static_cast<std::uint64_t>(static_cast<std::uint16_t>(m)) << j;
    }
    bits[i] = mask;
    any |= mask;
  }
  return any;
}

template <bool kFold>
__attribute__((target("avx2"), always_inline)) inline __m256i Hits32(const std::uint8_t* q,
                                                                     const Anchors& k,
                                                                     const __m256i* c) {
  __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + k.at1));
  __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + k.at2));
  if constexpr (kFold) x = _mm256_or_si256(x, c[0]), y = _mm256_or_si256(y, c[2]);
  return _mm256_and_si256(_mm256_cmpeq_epi8(x, c[1]), _mm256_cmpeq_epi8(y, c[3]));
}

template <bool kFold>
__attribute__((target("avx2"))) std::uint64_t BlocksAvx2(const std::uint8_t* p, std::size_t blocks,
                                                         const Anchors& k, std::uint64_t* bits) {
  const __m256i c[4] = {
      _mm256_set1_epi8(static_cast<char>(k.fold1)), _mm256_set1_epi8(static_cast<char>(k.want1)),
      _mm256_set1_epi8(static_cast<char>(k.fold2)), _mm256_set1_epi8(static_cast<char>(k.want2))};
  __m256i seen = _mm256_setzero_si256();
  for (std::size_t i = 0; i < 64 * blocks; i += 64)
    seen = _mm256_or_si256(
        seen, _mm256_or_si256(Hits32<kFold>(p + i, k, c), Hits32<kFold>(p + i + 32, k, c)));
  if (_mm256_testz_si256(seen, seen)) return 0;
  std::uint64_t any = 0;
  for (std::size_t i = 0; i < blocks; ++i) {
    const auto low = static_cast<std::uint32_t>(_mm256_movemask_epi8(Hits32<kFold>(p, k, c)));
    const auto high = static_cast<std::uint32_t>(_mm256_movemask_epi8(Hits32<kFold>(p + 32, k, c)));
    bits[i] = low | static_cast<std::uint64_t>(high) << 32;
    any |= bits[i];
    p += 64;
  }
  return any;
}
#endif

// For machines without x86 vectors: the same test a byte at a time.
[[maybe_unused]] std::uint64_t BlocksScalar(const std::uint8_t* p, std::size_t blocks,
                                            const Anchors& k, std::uint64_t* bits) {
  std::uint64_t any = 0;
  for (std::size_t i = 0; i < blocks; ++i, p += 64) {
    std::uint64_t mask = 0;
    for (int j = 0; j < 64; ++j) {
      const bool x = (p[j + k.at1] | k.fold1) == k.want1, y = (p[j + k.at2] | k.fold2) == k.want2;
      if (x && y) mask |= std::uint64_t{1} << j;
    }
    bits[i] = mask;
    any |= mask;
  }
  return any;
}

// The widest block test this processor runs.
BlockTest ChooseBlockTest(bool fold) {
#ifdef DULVEX_X86
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) return fold ? BlocksAvx2<true> : BlocksAvx2<false>;
  return fold ? BlocksSse2<true> : BlocksSse2<false>;
#else
  return (void)fold, BlocksScalar;
#endif
}

// Blocks tested per call: 4 KiB of offsets, so a match near the start is found early.
constexpr std::size_t kStripeBlocks = 64;

// How common a byte is on a disk: zeros, 0xFF fill, blanks and text first. The anchors are
// the two positions whose bytes rank lowest, so the block test rarely stops.
int Commonness(std::uint8_t b) {
  if (b == 0x00) return 255;
  if (b == 0xFF) return 250;
  if (b == 0x20) return 240;
  if (b == 0xF6 || b == 0xE5) return 200;  // fill of new floppies, mark of deleted entries
  if (b == '\r' || b == '\n' || b == '\t') return 190;
  if (std::string_view("etaoinsrhl").find(static_cast<char>(b)) != std::string_view::npos)
    return 180;
  if (b >= 'a' && b <= 'z') return 160;
  if (b >= '0' && b <= '9') return 150;
  if (b >= 'A' && b <= 'Z') return 140;
  if (b < 0x10) return 130;
  if (b < 0x80) return 110;
  return 90;
}

// ---- Reading the user's text -----------------------------------------------------------------

CompiledPattern Fail(std::string reason) {
  return {std::nullopt, std::move(reason)};
}

PatternByte Fixed(std::uint8_t b) {
  return {b, b, false};
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Hex pairs in words separated by blanks: "EB 3C 90", "EB3C90", "eb ?? 90". Returns why the
// text is not such, or nothing. Words are taken a character at a time, so a message quotes
// whole characters even where the user typed letters beyond ASCII.
std::string HexBytes(std::string_view text, std::vector<PatternByte>& out) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t') {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
    const std::string_view word = text.substr(i, end - i);
    const std::vector<char32_t> chars = DecodeUtf8(word);
    // Each byte is two hex digits or "??"; a lone digit would leave the bytes ambiguous.
    if (chars.size() % 2 != 0)
      return "\"" + std::string(word) +
             "\" is not a run of bytes: write each byte as two hex digits, or ?? for any "
             "byte.";
    const auto digit = [](char32_t c) { return c < 0x80 ? HexDigit(static_cast<char>(c)) : -1; };
    for (std::size_t k = 0; k < chars.size(); k += 2) {
      const int hi = digit(chars[k]), lo = digit(chars[k + 1]);
      if (chars[k] == '?' && chars[k + 1] == '?') {
        out.push_back({0, 0, true});
      } else if (hi < 0 || lo < 0) {
        return "\"" + EncodeUtf8(chars[k]) + EncodeUtf8(chars[k + 1]) +
               "\" is not a byte: write each byte as two hex digits, or ?? for any byte.";
      } else {
        out.push_back(Fixed(static_cast<std::uint8_t>(hi * 16 + lo)));
      }
    }
    i = end;
  }
  return "";
}

// The other case of a character the code page holds in both cases.
char32_t CodePageOtherCase(char32_t u) {
  if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) return u - 32;
  if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) return u + 32;
  // Pairs the Latin-1 rule above does not give: š Š, œ Œ, ž Ž, ÿ Ÿ.
  static constexpr std::array<std::pair<char32_t, char32_t>, 4> kPairs = {
      {{0x0161, 0x0160}, {0x0153, 0x0152}, {0x017E, 0x017D}, {0x00FF, 0x0178}}};
  for (const auto& [lower, upper] : kPairs) {
    if (u == lower) return upper;
    if (u == upper) return lower;
  }
  return u;
}

// Offsets after a pick within which the filter being busy again sends the search to
// shift-and, and the
// stretch shift-and takes when picking the anchors again did not help.
constexpr std::uint64_t kRecent = 1 << 16;
constexpr std::uint64_t kShiftAndStretch = 1 << 18;
// Bytes counted each time the histogram learns, and the weight it keeps before halving.
constexpr std::size_t kLearnBytes = 4096;
constexpr std::uint64_t kHistoryBytes = 1 << 16;

// The block test's acceptance of byte x at an anchor.
bool Accepts(std::uint8_t fold, std::uint8_t want, unsigned x) {
  return (x | fold) == want;
}

}  // namespace

std::uint8_t OtherCaseByte(std::uint8_t b) {
  const std::vector<char32_t> u = DecodeUtf8(CharOfByte(b));
  const char32_t other = CodePageOtherCase(u.front());
  return other == u.front() ? b : ByteOfChar(other);
}

Pattern::Pattern(std::vector<PatternByte> bytes, std::vector<UnitPair> units)
    : bytes_(std::move(bytes)), units_(std::move(units)) {
  const std::size_t m = bytes_.size(), w = words();
  masks_.assign(256 * w, 0);
  reversed_.assign(256 * w, 0);
  for (std::size_t i = 0; i < m; ++i) {
    const PatternByte& p = bytes_[i];
    anchored_ = anchored_ || !p.any;
    const std::size_t r = m - 1 - i;
    for (unsigned x = 0; x < 256; ++x) {
      if (!p.any && x != p.a && x != p.b) continue;
      masks_[x * w + i / 64] |= std::uint64_t{1} << (i % 64);
      reversed_[x * w + r / 64] |= std::uint64_t{1} << (r % 64);
    }
  }
}

bool Pattern::MatchesAt(const std::uint8_t* p) const {
  for (std::size_t i = 0; i < bytes_.size(); ++i) {
    const PatternByte& want = bytes_[i];
    if (!want.any && p[i] != want.a && p[i] != want.b) return false;
  }
  for (const UnitPair& u : units_) {
    const auto unit = static_cast<std::uint16_t>(p[u.at] | p[u.at + 1] << 8);
    if (unit != u.a && unit != u.b) return false;
  }
  return true;
}

std::size_t Pattern::FindFirst(const std::uint8_t* data, std::size_t n) const {
  return Searcher(*this).FindFirst(data, n);
}

std::size_t Pattern::FindLast(const std::uint8_t* data, std::size_t n) const {
  return Searcher(*this).FindLast(data, n);
}

Searcher::Searcher(const Pattern& pattern) : pattern_(pattern) {
  if (pattern_.anchored_) Pick();
}

void Searcher::Learn(const std::uint8_t* data, std::size_t n) {
  if (learned_ > kHistoryBytes) {
    for (std::uint32_t& c : histogram_) c /= 2;
    learned_ /= 2;
  }
  for (std::size_t i = 0; i < n; ++i) ++histogram_[data[i]];
  learned_ += n;
}

// Each fixed position is scored by how many of the bytes seen it would accept; the two
// lowest become the anchors (one position twice when only one is fixed).
void Searcher::Pick() {
  const auto& bytes = pattern_.bytes_;
  std::uint64_t best1 = UINT64_MAX, best2 = UINT64_MAX;
  std::uint32_t at1 = 0, at2 = 0;
  for (std::uint32_t i = 0; i < bytes.size(); ++i) {
    const PatternByte& p = bytes[i];
    if (p.any) continue;
    const auto fold = static_cast<std::uint8_t>(p.a ^ p.b),
               want = static_cast<std::uint8_t>(p.a | fold);
    std::uint64_t seen = 0;
    for (unsigned x = 0; x < 256; ++x) {
      if (Accepts(fold, want, x)) seen += histogram_[x];
    }
    const std::uint64_t score =
        seen * 256 + static_cast<std::uint64_t>(std::max(Commonness(p.a), Commonness(p.b)));
    if (score < best1) {
      best2 = best1, at2 = at1;
      best1 = score, at1 = i;
    } else if (score < best2) {
      best2 = score, at2 = i;
    }
  }
  if (best2 == UINT64_MAX) at2 = at1;
  const auto fold = [&](std::uint32_t at) {
    return static_cast<std::uint8_t>(bytes[at].a ^ bytes[at].b);
  };
  anchors_ = {at1,       at2,
              fold(at1), static_cast<std::uint8_t>(bytes[at1].a | fold(at1)),
              fold(at2), static_cast<std::uint8_t>(bytes[at2].a | fold(at2))};
  test_ = ChooseBlockTest((anchors_.fold1 | anchors_.fold2) != 0);
}

// The anchors agreed too often at `at`: the histogram learns the bytes the search meets next
// (after `at` going forward, before it going backward) and picks again. When the anchors stay
// the same, or were picked for the same reason only a short stretch ago, shift-and takes the
// next stretch (and the anchors are picked once more after).
void Searcher::OnBusy(const std::uint8_t* data, std::size_t n, std::size_t at, bool forward) {
  const std::size_t begin = forward ? at : at - std::min(at, kLearnBytes);
  const Anchors before = anchors_;
  Learn(data + begin, std::min(kLearnBytes, n - begin));
  Pick();
  ++repicks_;
  if (anchors_ == before || (busyPick_ && sinceRepick_ < kRecent)) shiftAndLeft_ = kShiftAndStretch;
  busyPick_ = true;
  sinceRepick_ = 0;
}

// Tests the starts from .. to (inclusive; to + size() - 1 lies in the data) for a match,
// going up or down. The filter may verify one offset in 64 and 32 more; beyond that it stops
// as Busy, leaving in *at where the search must go on (forward: the next start to test;
// backward: the end, exclusive, of the starts left).
Searcher::Step Searcher::Filter(const std::uint8_t* data, std::size_t from, std::size_t to,
                                bool forward, std::size_t* at) {
  const std::size_t blocks = (to - from + 1) / 64;
  std::uint64_t bits[kStripeBlocks];
  std::uint64_t verified = 0, allowed = 32;
  if (forward) {
    for (std::size_t first = 0; first < blocks; first += kStripeBlocks) {
      const std::size_t count = std::min(kStripeBlocks, blocks - first);
      const std::uint8_t* p = data + from + 64 * first;
      sinceRepick_ += 64 * count;
      allowed += count;
      if (test_(p, count, anchors_, bits) == 0) continue;
      for (std::size_t w = 0; w < count; ++w) {
        for (std::uint64_t m = bits[w]; m != 0; m &= m - 1) {
          const std::size_t start =
              from + 64 * (first + w) + static_cast<std::size_t>(__builtin_ctzll(m));
          if (pattern_.MatchesAt(data + start)) return *at = start, Step::Found;
          if (++verified > allowed) return *at = start + 1, Step::Busy;
        }
      }
    }
    for (std::size_t start = from + 64 * blocks; start <= to; ++start) {
      if (pattern_.MatchesAt(data + start)) return *at = start, Step::Found;
    }
    return Step::None;
  }
  for (std::size_t start = to + 1; start-- > from + 64 * blocks;) {
    if (pattern_.MatchesAt(data + start)) return *at = start, Step::Found;
  }
  for (std::size_t end = blocks; end > 0;) {
    const std::size_t first = end > kStripeBlocks ? end - kStripeBlocks : 0;
    sinceRepick_ += 64 * (end - first);
    allowed += end - first;
    const bool any = test_(data + from + 64 * first, end - first, anchors_, bits) != 0;
    for (std::size_t w = any ? end - first : 0; w-- > 0;) {
      for (std::uint64_t m = bits[w]; m != 0;) {
        const int top = 63 - __builtin_clzll(m);
        const std::size_t start = from + 64 * (first + w) + static_cast<std::size_t>(top);
        if (pattern_.MatchesAt(data + start)) return *at = start, Step::Found;
        if (++verified > allowed) return *at = start, Step::Busy;
        m &= ~(std::uint64_t{1} << top);
      }
    }
    end = first;
  }
  return Step::None;
}

namespace {

// One byte into a shift-and state of `words` words: shifted up by one with carries, a match
// begun at the new byte, and every position the byte does not fit cleared.
inline void ShiftIn(std::uint64_t* state, const std::uint64_t* mask, std::size_t words) {
  std::uint64_t carry = 1;
  for (std::size_t i = 0; i < words; ++i) {
    const std::uint64_t next = (state[i] << 1) | carry;
    carry = state[i] >> 63;
    state[i] = next & mask[i];
  }
}

}  // namespace

// Shift-and over the starts from .. to: bit i of the state says that the last i + 1 bytes
// read match the first i + 1 positions. A state of words() words, shifted with carries.
std::size_t Searcher::ShiftAndForward(const std::uint8_t* data, std::size_t from,
                                      std::size_t to) const {
  const std::size_t m = pattern_.size(), w = pattern_.words();
  const std::uint64_t* masks = pattern_.masks_.data();
  const std::size_t topWord = (m - 1) / 64;
  const std::uint64_t topBit = std::uint64_t{1} << ((m - 1) % 64);
  std::uint64_t state[kMaxPatternBytes / 64] = {};
  for (std::size_t k = from; k <= to + m - 1; ++k) {
    ShiftIn(state, masks + std::size_t{data[k]} * w, w);
    if ((state[topWord] & topBit) != 0 &&
        (pattern_.units_.empty() || pattern_.MatchesAt(data + k - (m - 1))))
      return k - (m - 1);
  }
  return Pattern::kNone;
}

// The same with the pattern reversed, reading down from the last byte a start `to` covers.
std::size_t Searcher::ShiftAndBackward(const std::uint8_t* data, std::size_t from,
                                       std::size_t to) const {
  const std::size_t m = pattern_.size(), w = pattern_.words();
  const std::uint64_t* masks = pattern_.reversed_.data();
  const std::size_t topWord = (m - 1) / 64;
  const std::uint64_t topBit = std::uint64_t{1} << ((m - 1) % 64);
  std::uint64_t state[kMaxPatternBytes / 64] = {};
  for (std::size_t k = to + m; k-- > from;) {
    ShiftIn(state, masks + std::size_t{data[k]} * w, w);
    if ((state[topWord] & topBit) != 0 && (pattern_.units_.empty() || pattern_.MatchesAt(data + k)))
      return k;
  }
  return Pattern::kNone;
}

std::size_t Searcher::FindFirst(const std::uint8_t* data, std::size_t n) {
  const std::size_t m = pattern_.size();
  if (n < m) return Pattern::kNone;
  const std::size_t last = n - m;
  if (!pattern_.anchored_) return 0;
  if (learned_ == 0) Learn(data, std::min(n, kLearnBytes)), Pick();
  for (std::size_t from = 0; from <= last;) {
    if (shiftAndLeft_ > 0) {
      const std::size_t to =
          static_cast<std::size_t>(std::min<std::uint64_t>(last, from + shiftAndLeft_ - 1));
      const std::size_t found = ShiftAndForward(data, from, to);
      shiftAndLeft_ -= to - from + 1, shiftAndBytes_ += to - from + 1;
      if (found != Pattern::kNone) return found;
      if (shiftAndLeft_ == 0) {
        const std::size_t end = to + m;
        Learn(data + end - std::min(end, kLearnBytes), std::min(end, kLearnBytes));
        Pick();
        sinceRepick_ = 0;
      }
      from = to + 1;
      continue;
    }
    std::size_t at = 0;
    switch (Filter(data, from, last, true, &at)) {
      case Step::Found:
        return at;
      case Step::None:
        return Pattern::kNone;
      case Step::Busy:
        OnBusy(data, n, at, true);
        from = at;
    }
  }
  return Pattern::kNone;
}

std::size_t Searcher::FindLast(const std::uint8_t* data, std::size_t n) {
  const std::size_t m = pattern_.size();
  if (n < m) return Pattern::kNone;
  const std::size_t last = n - m;
  if (!pattern_.anchored_) return last;
  if (learned_ == 0) Learn(data + n - std::min(n, kLearnBytes), std::min(n, kLearnBytes)), Pick();
  // The starts still to test are 0 .. end - 1.
  for (std::size_t end = last + 1; end > 0;) {
    if (shiftAndLeft_ > 0) {
      const std::size_t from =
          end > shiftAndLeft_ ? end - static_cast<std::size_t>(shiftAndLeft_) : 0;
      const std::size_t found = ShiftAndBackward(data, from, end - 1);
      shiftAndLeft_ -= end - from, shiftAndBytes_ += end - from;
      if (found != Pattern::kNone) return found;
      if (shiftAndLeft_ == 0) {
        Learn(data + from, std::min(n - from, kLearnBytes));
        Pick();
        sinceRepick_ = 0;
      }
      end = from;
      continue;
    }
    std::size_t at = 0;
    switch (Filter(data, 0, end - 1, false, &at)) {
      case Step::Found:
        return at;
      case Step::None:
        return Pattern::kNone;
      case Step::Busy:
        OnBusy(data, n, at, false);
        end = at;
    }
  }
  return Pattern::kNone;
}

CompiledPattern CompilePattern(std::string_view text, FindKind kind, bool ignoreCase) {
  std::vector<PatternByte> bytes;
  std::vector<UnitPair> units;
  if (kind == FindKind::Name)
    return Fail("A name is looked up in the directory tree, not in bytes.");
  if (kind == FindKind::Hex) {
    std::string reason = HexBytes(text, bytes);
    if (!reason.empty()) return Fail(std::move(reason));
  } else {
    for (const char32_t c : DecodeUtf8(text)) {
      if (kind == FindKind::Utf16) {
        if (c > 0x10FFFF) return Fail("The text holds a byte sequence that is no character.");
        // Characters beyond U+FFFF take a surrogate pair.
        const char32_t v = c - 0x10000;
        const std::vector<char32_t> codeUnits =
            c < 0x10000 ? std::vector<char32_t>{c}
                        : std::vector<char32_t>{0xD800 + (v >> 10), 0xDC00 + (v & 0x3FF)};
        // Any case: a character of the first plane also takes its other case there.
        char32_t other = ignoreCase && c < 0x10000 ? dulvex::OtherCase(c) : c;
        if (other >= 0x10000 || (other >= 0xD800 && other < 0xE000)) other = c;
        if ((other & 0xFF) != (c & 0xFF) && (other >> 8) != (c >> 8))
          units.push_back({static_cast<std::uint32_t>(bytes.size()), static_cast<std::uint16_t>(c),
                           static_cast<std::uint16_t>(other)});
        for (const char32_t unit : codeUnits) {
          const char32_t alternative = codeUnits.size() == 1 ? other : unit;
          bytes.push_back({static_cast<std::uint8_t>(unit & 0xFF),
                           static_cast<std::uint8_t>(alternative & 0xFF), false});
          bytes.push_back({static_cast<std::uint8_t>(unit >> 8),
                           static_cast<std::uint8_t>(alternative >> 8), false});
        }
        continue;
      }
      const std::uint8_t b = ByteOfChar(c);
      if (b == '?' && c != '?')
        return Fail("\"" + EncodeUtf8(c) + "\" has no byte in the code page Windows-1252.");
      bytes.push_back({b, ignoreCase ? OtherCaseByte(b) : b, false});
    }
  }
  if (bytes.empty()) return Fail("Nothing to find: type a text or hex bytes.");
  if (bytes.size() > kMaxPatternBytes)
    return Fail("At most " + std::to_string(kMaxPatternBytes) + " bytes can be found at once; " +
                "this is " + std::to_string(bytes.size()) + ".");
  return {Pattern(std::move(bytes), std::move(units)), {}};
}

}  // namespace dulvex::search
