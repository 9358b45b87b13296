// What a search looks for: a run of byte positions, each a fixed byte, one of two bytes (a
// letter in either case) or any byte. A pattern is made from the user's text, read in the
// grid's code page, as UTF-16LE, or as hex pairs. A Searcher finds its matches in a block of
// memory at memory speed and in linear time on any data: two anchor positions, chosen from a
// byte histogram of the data seen so far, are tested 64 offsets at a time with vector
// compares, and only where both agree is the whole pattern compared. When the data makes the
// anchors agree often (erased flash, fill bytes), the anchors are picked again from what the
// data holds; when that does not help either, a bit-parallel matcher (shift-and, at most
// eight word operations a byte) takes over for a while.
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
  bool operator==(const Anchors&) const = default;
};

// Two bytes at an even position that must together be one of two UTF-16 code units: a
// letter whose cases differ in both bytes (ÿ U+00FF and Ÿ U+0178) would otherwise also take
// the mixed pairs.
struct UnitPair {
  std::uint32_t at = 0;
  std::uint16_t a = 0, b = 0;
};

class Pattern {
 public:
  // `bytes` must not be empty nor longer than kMaxPatternBytes.
  explicit Pattern(std::vector<PatternByte> bytes, std::vector<UnitPair> units = {});

  std::size_t size() const { return bytes_.size(); }
  const PatternByte& operator[](std::size_t i) const { return bytes_[i]; }
  // Whether the size() bytes at `p` match.
  bool MatchesAt(const std::uint8_t* p) const;
  // Offset of the first or of the last match lying wholly in data[0 .. n), or kNone. Each
  // call starts from scratch; a scan over many blocks keeps one Searcher instead.
  std::size_t FindFirst(const std::uint8_t* data, std::size_t n) const;
  std::size_t FindLast(const std::uint8_t* data, std::size_t n) const;
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

 private:
  friend class Searcher;
  std::vector<PatternByte> bytes_;
  std::vector<UnitPair> units_;
  // Shift-and masks, words() words per byte value: bit i of a byte's mask is set when
  // position i takes that byte; reversed_ holds the same for the pattern read backward.
  std::vector<std::uint64_t> masks_, reversed_;
  std::size_t words() const { return (bytes_.size() + 63) / 64; }
  bool anchored_ = false;  // false when every position takes any byte: every offset matches
};

// Finds the matches of one pattern in block after block of one medium, learning the data's
// bytes as it goes. Does not allocate while it searches.
class Searcher {
 public:
  explicit Searcher(const Pattern& pattern);
  explicit Searcher(Pattern&&) = delete;  // it keeps a reference: the pattern must outlive it

  // As Pattern::FindFirst and FindLast.
  std::size_t FindFirst(const std::uint8_t* data, std::size_t n);
  std::size_t FindLast(const std::uint8_t* data, std::size_t n);

  const Anchors& anchors() const { return anchors_; }
  // How often the anchors were picked again, and bytes given to the shift-and matcher.
  std::uint64_t repicks() const { return repicks_; }
  std::uint64_t shiftAndBytes() const { return shiftAndBytes_; }

 private:
  enum class Step { Found, None, Busy };
  Step Filter(const std::uint8_t* data, std::size_t from, std::size_t to, bool forward,
              std::size_t* at);
  std::size_t ShiftAndForward(const std::uint8_t* data, std::size_t from, std::size_t to) const;
  std::size_t ShiftAndBackward(const std::uint8_t* data, std::size_t from, std::size_t to) const;
  // Counts the bytes data[0 .. n) into the histogram, older counts weighing less.
  void Learn(const std::uint8_t* data, std::size_t n);
  // Anchors from the histogram (the common bytes of a disk break ties).
  void Pick();
  // Busy at `at`: picks the anchors again, or hands the next stretch to shift-and.
  void OnBusy(const std::uint8_t* data, std::size_t n, std::size_t at, bool forward);

  const Pattern& pattern_;
  Anchors anchors_;
  std::uint64_t (*test_)(const std::uint8_t*, std::size_t, const Anchors&,
                         std::uint64_t*) = nullptr;
  std::uint32_t histogram_[256] = {};
  std::uint64_t learned_ = 0;       // bytes counted in the histogram, decayed
  std::uint64_t sinceRepick_ = 0;   // offsets filtered since the anchors were picked
  std::uint64_t shiftAndLeft_ = 0;  // offsets shift-and still takes before the filter
  bool busyPick_ = false;           // the anchors were last picked for being busy
  std::uint64_t repicks_ = 0, shiftAndBytes_ = 0;
};

// How the user's text is read.
enum class FindKind {
  Text,   // characters of the grid's code page, one byte each
  Utf16,  // UTF-16LE, two bytes a character (four beyond U+FFFF), as long names are stored
  Hex,    // hex pairs, blanks between them optional, "??" for any byte
  Name,   // no bytes: a part of a file or directory name, looked up in the FAT tree
};

// The longest pattern: one sector, so a match lies in at most two sectors.
inline constexpr std::size_t kMaxPatternBytes = 512;

// A pattern, or the reason the text cannot be one.
struct CompiledPattern {
  std::optional<Pattern> pattern;
  std::string error;
};

// `ignoreCase`: a letter also matches its other case: in the code page (e and E, é and É,
// š and Š, ÿ and Ÿ) for Text, in Unicode (ж and Ж, σ and Σ) for Utf16; Hex has no case.
CompiledPattern CompilePattern(std::string_view text, FindKind kind, bool ignoreCase);

// The other case of a code-page byte that is a letter with two cases; the byte itself else.
std::uint8_t OtherCaseByte(std::uint8_t b);

}  // namespace dulvex::search
