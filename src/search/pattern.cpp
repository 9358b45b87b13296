#include "search/pattern.h"

#include <algorithm>
#include <array>

#include "base/codepage.h"

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
// text is not such, or nothing.
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
    // Each byte is two hex digits or "??"; a lone digit would leave the bytes ambiguous.
    if (word.size() % 2 != 0)
      return "\"" + std::string(word) +
             "\" is not a run of bytes: write each byte as two hex digits, or ?? for any "
             "byte.";
    for (std::size_t k = 0; k < word.size(); k += 2) {
      const int hi = HexDigit(word[k]), lo = HexDigit(word[k + 1]);
      if (word[k] == '?' && word[k + 1] == '?') {
        out.push_back({0, 0, true});
      } else if (hi < 0 || lo < 0) {
        return "\"" + std::string(word.substr(k, 2)) +
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
char32_t OtherCase(char32_t u) {
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

}  // namespace

std::uint8_t OtherCaseByte(std::uint8_t b) {
  const std::vector<char32_t> u = DecodeUtf8(CharOfByte(b));
  const char32_t other = OtherCase(u.front());
  return other == u.front() ? b : ByteOfChar(other);
}

Pattern::Pattern(std::vector<PatternByte> bytes) : bytes_(std::move(bytes)) {
  // The two fixed positions whose bytes are least common; one anchor twice when only one
  // position is fixed.
  std::vector<std::pair<int, std::uint32_t>> ranked;
  for (std::uint32_t i = 0; i < bytes_.size(); ++i) {
    const PatternByte& p = bytes_[i];
    if (!p.any) ranked.emplace_back(std::max(Commonness(p.a), Commonness(p.b)), i);
  }
  if (ranked.empty()) return;
  anchored_ = true;
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  const std::uint32_t at1 = ranked[0].second;
  const std::uint32_t at2 = ranked[ranked.size() > 1 ? 1 : 0].second;
  const auto fold = [this](std::uint32_t at) {
    return static_cast<std::uint8_t>(bytes_[at].a ^ bytes_[at].b);
  };
  anchors_ = {at1,       at2,
              fold(at1), static_cast<std::uint8_t>(bytes_[at1].a | fold(at1)),
              fold(at2), static_cast<std::uint8_t>(bytes_[at2].a | fold(at2))};
  test_ = ChooseBlockTest((anchors_.fold1 | anchors_.fold2) != 0);
}

bool Pattern::MatchesAt(const std::uint8_t* p) const {
  for (std::size_t i = 0; i < bytes_.size(); ++i) {
    const PatternByte& want = bytes_[i];
    if (!want.any && p[i] != want.a && p[i] != want.b) return false;
  }
  return true;
}

// Offsets 0 .. last are possible starts. Whole blocks of 64 of them go through the block test
// (its reads stay below last + size()); the few after the last whole block are compared one
// by one.
std::size_t Pattern::FindFirst(const std::uint8_t* data, std::size_t n) const {
  if (n < size()) return kNone;
  const std::size_t last = n - size();
  if (!anchored_) return 0;
  const std::size_t blocks = (last + 1) / 64;
  std::uint64_t bits[kStripeBlocks];
  for (std::size_t first = 0; first < blocks; first += kStripeBlocks) {
    const std::size_t count = std::min(kStripeBlocks, blocks - first);
    if (test_(data + 64 * first, count, anchors_, bits) == 0) continue;
    for (std::size_t w = 0; w < count; ++w) {
      for (std::uint64_t m = bits[w]; m != 0; m &= m - 1) {
        const std::size_t at = 64 * (first + w) + static_cast<std::size_t>(__builtin_ctzll(m));
        if (MatchesAt(data + at)) return at;
      }
    }
  }
  for (std::size_t at = 64 * blocks; at <= last; ++at) {
    if (MatchesAt(data + at)) return at;
  }
  return kNone;
}

std::size_t Pattern::FindLast(const std::uint8_t* data, std::size_t n) const {
  if (n < size()) return kNone;
  const std::size_t last = n - size();
  if (!anchored_) return last;
  const std::size_t blocks = (last + 1) / 64;
  for (std::size_t at = last + 1; at-- > 64 * blocks;) {
    if (MatchesAt(data + at)) return at;
  }
  std::uint64_t bits[kStripeBlocks];
  for (std::size_t end = blocks; end > 0;) {
    const std::size_t first = end > kStripeBlocks ? end - kStripeBlocks : 0;
    const bool any = test_(data + 64 * first, end - first, anchors_, bits) != 0;
    for (std::size_t w = any ? end - first : 0; w-- > 0;) {
      for (std::uint64_t m = bits[w]; m != 0;) {
        const int top = 63 - __builtin_clzll(m);
        const std::size_t at = 64 * (first + w) + static_cast<std::size_t>(top);
        if (MatchesAt(data + at)) return at;
        m &= ~(std::uint64_t{1} << top);
      }
    }
    end = first;
  }
  return kNone;
}

CompiledPattern CompilePattern(std::string_view text, FindKind kind, bool ignoreCase) {
  std::vector<PatternByte> bytes;
  if (kind == FindKind::Hex) {
    std::string reason = HexBytes(text, bytes);
    if (!reason.empty()) return Fail(std::move(reason));
  } else {
    for (const char32_t c : DecodeUtf8(text)) {
      if (kind == FindKind::Utf16) {
        if (c > 0x10FFFF) return Fail("The text holds a byte sequence that is no character.");
        // Characters beyond U+FFFF take a surrogate pair.
        const char32_t v = c - 0x10000;
        const std::vector<char32_t> units =
            c < 0x10000 ? std::vector<char32_t>{c}
                        : std::vector<char32_t>{0xD800 + (v >> 10), 0xDC00 + (v & 0x3FF)};
        for (const char32_t unit : units) {
          bytes.push_back(Fixed(static_cast<std::uint8_t>(unit & 0xFF)));
          bytes.push_back(Fixed(static_cast<std::uint8_t>(unit >> 8)));
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
  return {Pattern(std::move(bytes)), {}};
}

}  // namespace dulvex::search
