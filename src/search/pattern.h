// What a search looks for: a run of byte positions, each a fixed byte, one of two bytes (a
// letter in either case) or any byte. A pattern is made from the user's text, read in the
// grid's code page, as UTF-16LE, or as hex pairs, and finds its matches in a block of memory
// at memory speed: the two rarest fixed positions are tested 64 offsets at a time with vector
// compares, and only where both agree is the whole pattern compared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dulvex::search {

// One position of a pattern: any byte, or byte `a` or byte `b` (equal when one byte will do).
struct PatternByte {
  std::uint8_t a = 0, b = 0;
  bool any = false;
};

// The two positions a block test looks at. Each accepts byte x when (x | fold) == want: one
// byte when fold is 0, or a letter in either case when fold holds the bits where the cases
// differ. Where they differ in more than one bit a few other bytes pass too; the full
// comparison turns those away.
struct Anchors {
  std::uint32_t at1 = 0, at2 = 0;
  std::uint8_t fold1 = 0, want1 = 0, fold2 = 0, want2 = 0;
};

class Pattern {
 public:
  // `bytes` must not be empty.
  explicit Pattern(std::vector<PatternByte> bytes);

  std::size_t size() const { return bytes_.size(); }
  // Whether the size() bytes at `p` match.
  bool MatchesAt(const std::uint8_t* p) const;
  // Offset of the first or of the last match lying wholly in data[0 .. n), or kNone.
  std::size_t FindFirst(const std::uint8_t* data, std::size_t n) const;
  std::size_t FindLast(const std::uint8_t* data, std::size_t n) const;
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

 private:
  std::vector<PatternByte> bytes_;
  Anchors anchors_;
  // The vector test of the anchors over a stripe of blocks (see pattern.cpp).
  std::uint64_t (*test_)(const std::uint8_t*, std::size_t, const Anchors&,
                         std::uint64_t*) = nullptr;
  bool anchored_ = false;  // false when every position takes any byte: every offset matches
};

// How the user's text is read.
enum class FindKind {
  Text,   // characters of the grid's code page, one byte each
  Utf16,  // UTF-16LE, two bytes a character (four beyond U+FFFF), as long names are stored
  Hex,    // hex pairs, blanks between them optional, "??" for any byte
};

// The longest pattern: one sector, so a match lies in at most two sectors.
inline constexpr std::size_t kMaxPatternBytes = 512;

// A pattern, or the reason the text cannot be one.
struct CompiledPattern {
  std::optional<Pattern> pattern;
  std::string error;
};

// `ignoreCase` (Text only): a letter of the code page also matches its other case (e and E,
// é and É, š and Š, ÿ and Ÿ).
CompiledPattern CompilePattern(std::string_view text, FindKind kind, bool ignoreCase);

// The other case of a code-page byte that is a letter with two cases; the byte itself else.
std::uint8_t OtherCaseByte(std::uint8_t b);

}  // namespace dulvex::search
