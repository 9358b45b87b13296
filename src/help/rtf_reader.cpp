#include "help/rtf_reader.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "base/codepage.h"

namespace dulvex {

namespace {

// What the text of a group is for.
enum class Destination {
  Body,        // shown
  FontTable,   // names of fonts
  ColorTable,  // colour entries
  Skip,        // not shown (ignorable or unknown-content destinations)
};

// Everything a group inherits from its parent and gives back at its end.
struct GroupState {
  Destination dest = Destination::Body;
  RtfCharFormat format;
  int fontIndex = -1;  // \f of the body, or the font being defined in the font table
  RtfAlign align = RtfAlign::Left;
  int leftIndent = 0;
  int firstIndent = 0;
  int colourIndex = 0;  // \cf
  int unicodeSkip = 1;  // \uc: characters of fallback text after each \u
};

struct FontInfo {
  bool fixedFamily = false;  // \fmodern or \fprq1
  std::string name;
};

// A class of bytes as a table, so that testing a byte is one look-up: the reader tests every
// byte of a file, most of them letters of control words or plain text.
class ByteClass {
 public:
  template <typename Test>
  constexpr explicit ByteClass(Test test) {
    for (int c = 0; c < 256; ++c) in_[c] = test(c) ? 1 : 0;
  }
  bool operator()(char c) const { return in_[static_cast<unsigned char>(c)] != 0; }

 private:
  std::uint8_t in_[256] = {};
};

constexpr ByteClass IsLetter([](int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
});
constexpr ByteClass IsDigit([](int c) { return c >= '0' && c <= '9'; });
// A byte that stands for itself in the body: printable ASCII, braces and backslash excepted.
constexpr ByteClass IsPlainText([](int c) {
  return c >= 0x20 && c < 0x7F && c != '{' && c != '}' && c != '\\';
});

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool NameLooksFixedPitch(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* face :
       {"courier", "mono", "consolas", "lucida console", "fixedsys", "terminal"}) {
    if (name.find(face) != std::string::npos) return true;
  }
  return false;
}

// The control words the reader acts on. Words of one effect share a value; any other word
// is skipped.
enum class Keyword {
  Other,
  Binary,  // \bin: binary data follows
  FontTable,
  ColourTable,
  Hidden,     // a destination whose text is never shown
  Paragraph,  // \par, \sect, \page, and \row: the paragraph ends
  Line,
  Tab,  // \tab and \cell
  Bold,
  Italic,
  Underline,
  UnderlineNone,
  FontSize,
  Colour,
  Highlight,  // \highlight, \cb, \chcbpat
  Font,
  DefaultFont,
  Plain,
  ParagraphDefaults,
  AlignLeft,
  AlignCenter,
  AlignRight,
  Justify,
  LeftIndent,
  FirstIndent,
  UnicodeSkip,
  Unicode,
  Symbol,       // a word that stands for one character (\emdash, \bullet ...)
  FixedFamily,  // \fmodern
  Pitch,        // \fprq
  Red,
  Green,
  Blue,
};

struct KeywordInfo {
  Keyword keyword = Keyword::Other;
  char32_t symbol = 0;  // the character of a Symbol
};

struct KnownWord {
  std::string_view word;
  KeywordInfo info;
};

using K = Keyword;
// clang-format off
constexpr KnownWord kKnownWords[] = {
    {"bin", {K::Binary}}, {"fonttbl", {K::FontTable}}, {"colortbl", {K::ColourTable}},
    {"par", {K::Paragraph}}, {"sect", {K::Paragraph}}, {"page", {K::Paragraph}},
    {"row", {K::Paragraph}}, {"line", {K::Line}}, {"tab", {K::Tab}}, {"cell", {K::Tab}},
    {"b", {K::Bold}}, {"i", {K::Italic}}, {"ul", {K::Underline}},
    {"ulnone", {K::UnderlineNone}}, {"fs", {K::FontSize}}, {"cf", {K::Colour}},
    {"highlight", {K::Highlight}}, {"cb", {K::Highlight}}, {"chcbpat", {K::Highlight}},
    {"f", {K::Font}}, {"deff", {K::DefaultFont}}, {"plain", {K::Plain}},
    {"pard", {K::ParagraphDefaults}}, {"ql", {K::AlignLeft}}, {"qc", {K::AlignCenter}},
    {"qr", {K::AlignRight}}, {"qj", {K::Justify}}, {"li", {K::LeftIndent}},
    {"fi", {K::FirstIndent}}, {"uc", {K::UnicodeSkip}}, {"u", {K::Unicode}},
    {"emdash", {K::Symbol, 0x2014}}, {"endash", {K::Symbol, 0x2013}},
    {"bullet", {K::Symbol, 0x2022}}, {"lquote", {K::Symbol, 0x2018}},
    {"rquote", {K::Symbol, 0x2019}}, {"ldblquote", {K::Symbol, 0x201C}},
    {"rdblquote", {K::Symbol, 0x201D}}, {"fmodern", {K::FixedFamily}}, {"fprq", {K::Pitch}},
    {"red", {K::Red}}, {"green", {K::Green}}, {"blue", {K::Blue}},
    // Destinations whose text is never shown.
    {"stylesheet", {K::Hidden}}, {"info", {K::Hidden}}, {"pict", {K::Hidden}},
    {"header", {K::Hidden}}, {"headerl", {K::Hidden}}, {"headerr", {K::Hidden}},
    {"headerf", {K::Hidden}}, {"footer", {K::Hidden}}, {"footerl", {K::Hidden}},
    {"footerr", {K::Hidden}}, {"footerf", {K::Hidden}}, {"object", {K::Hidden}},
    {"fldinst", {K::Hidden}}, {"themedata", {K::Hidden}}, {"datastore", {K::Hidden}},
    {"latentstyles", {K::Hidden}}, {"listtable", {K::Hidden}}, {"revtbl", {K::Hidden}},
    {"rsidtbl", {K::Hidden}}, {"generator", {K::Hidden}}, {"listoverridetable", {K::Hidden}},
    {"xmlnstbl", {K::Hidden}}, {"filetbl", {K::Hidden}}, {"footnote", {K::Hidden}},
    {"annotation", {K::Hidden}}, {"atnid", {K::Hidden}}, {"atnauthor", {K::Hidden}},
    {"colorschememapping", {K::Hidden}}, {"pgdsctbl", {K::Hidden}}, {"mmathPr", {K::Hidden}},
    {"nonshppict", {K::Hidden}}, {"bkmkstart", {K::Hidden}}, {"bkmkend", {K::Hidden}},
    {"template", {K::Hidden}}, {"docvar", {K::Hidden}}, {"userprops", {K::Hidden}},
};
// clang-format on

// The known words by a hash of their length and end letters, with open addressing: one look-up
// per control word, the most frequent thing in a file, is a few comparisons.
class KnownWords {
 public:
  constexpr KnownWords() {
    for (const KnownWord& k : kKnownWords) {
      std::size_t i = Slot(k.word);
      while (!slots_[i].word.empty()) i = (i + 1) % kSlots;
      slots_[i] = k;
    }
  }

  KeywordInfo Find(std::string_view word) const {
    if (word.empty()) return {};
    for (std::size_t i = Slot(word); !slots_[i].word.empty(); i = (i + 1) % kSlots) {
      if (slots_[i].word == word) return slots_[i].info;
    }
    return {};
  }

 private:
  static constexpr std::size_t kSlots = 256;  // a power of two, over three times the words
  static constexpr std::size_t Slot(std::string_view w) {
    const auto first = static_cast<unsigned char>(w.front());
    const auto last = static_cast<unsigned char>(w.back());
    return (w.size() * 61 + std::size_t{first} * 7 + last) % kSlots;
  }

  KnownWord slots_[kSlots] = {};
};

constexpr KnownWords kWords;

class Reader {
 public:
  explicit Reader(std::string_view in) : text_(in), in_(text_) {}

  RtfDocument Run() {
    while (pos_ < in_.size()) {
      char c = in_[pos_++];
      if (IsPlainText(c) && st_.dest == Destination::Body && pendingSkip_ == 0 &&
          highSurrogate_ == 0) {
        PlainText();
        continue;
      }
      switch (c) {
        case '{':
          OpenGroup();
          break;
        case '}':
          CloseGroup();
          break;
        case '\\':
          Escape();
          break;
        case '\r':
        case '\n':
          break;  // line ends in the file mean nothing
        default:
          Byte(static_cast<std::uint8_t>(c));
          break;
      }
    }
    if (!paragraph_.runs.empty()) EndParagraph();
    return std::move(doc_);
  }

 private:
  // --- Groups ------------------------------------------------------------------------------
  void OpenGroup() {
    pendingSkip_ = 0;
    if (static_cast<int>(stack_.size()) >= kRtfMaxGroupDepth) {
      ++overflow_;
      return;
    }
    stack_.push_back(st_);
  }

  void CloseGroup() {
    pendingSkip_ = 0;
    if (overflow_ > 0) {
      --overflow_;
      return;
    }
    if (stack_.empty()) return;  // a stray closing brace
    if (st_.dest == Destination::FontTable) FinishFont();
    // The end of the document's outermost group ends its last paragraph, with the
    // paragraph formatting then in force.
    if (stack_.size() == 1 && st_.dest == Destination::Body && !paragraph_.runs.empty()) {
      EndParagraph();
    }
    st_ = stack_.back();
    formatKnown_ = false;
    stack_.pop_back();
  }

  // --- Escapes -----------------------------------------------------------------------------
  void Escape() {
    if (pos_ >= in_.size()) return;
    char c = in_[pos_];
    if (IsLetter(c)) {
      ControlWord();
      return;
    }
    ++pos_;
    switch (c) {
      case '\'':
        HexEscape();
        break;
      case '\\':
      case '{':
      case '}':
        Byte(static_cast<std::uint8_t>(c));
        break;
      case '~':
        Char(0x00A0);  // non-breaking space
        break;
      case '_':
        Char(0x2011);  // non-breaking hyphen
        break;
      case '-':
        break;  // optional hyphen: nothing to show
      case '*':
        st_.dest = Destination::Skip;  // ignorable destination this reader does not know
        break;
      case '\r':
      case '\n':
        if (SkipFallback()) break;
        if (st_.dest == Destination::Body) EndParagraph();
        break;
      default:
        SkipFallback();
        break;  // other control symbols show nothing
    }
  }

  void HexEscape() {
    int hi = pos_ < in_.size() ? HexValue(in_[pos_]) : -1;
    if (hi < 0) return;  // a truncated escape shows nothing
    ++pos_;
    int lo = pos_ < in_.size() ? HexValue(in_[pos_]) : -1;
    int value = hi;
    if (lo >= 0) {
      ++pos_;
      value = hi * 16 + lo;
    }
    if (SkipFallback()) return;
    CodePageByte(static_cast<std::uint8_t>(value));
  }

  // A control word: letters, then an optional signed number, then an optional blank. It is
  // read through a pointer into the text, whose closing byte 0 (neither letter, digit, "-" nor
  // blank) ends every scan, so no step needs a test of the end of its own.
  void ControlWord() {
    const char* const text = text_.c_str();
    const char* at = text + pos_;
    const char* const letters = at;
    while (IsLetter(*at)) ++at;
    const std::string_view word(letters, static_cast<std::size_t>(at - letters));
    const bool negative = at[0] == '-' && IsDigit(at[1]);
    if (negative) ++at;
    const char* const digits = at;
    long long param = 0;
    for (; IsDigit(*at); ++at) {
      if (param < 1000000000LL) param = param * 10 + (*at - '0');  // saturates
    }
    const bool hasParam = at > digits;
    if (*at == ' ') ++at;  // the delimiting blank
    pos_ = static_cast<std::size_t>(at - text);
    int n = static_cast<int>(std::min(param, 1000000000LL));
    if (negative) n = -n;

    const KeywordInfo info = kWords.Find(word);
    if (info.keyword == K::Binary) {
      // Binary data: skip the bytes whatever they hold.
      std::size_t count = hasParam && n > 0 ? static_cast<std::size_t>(n) : 0;
      pos_ += std::min(count, in_.size() - pos_);
      return;
    }
    if (SkipFallback()) return;
    Word(info, hasParam, n);
  }

  // While fallback text of a \u is pending, the next character or escape is dropped.
  bool SkipFallback() {
    if (pendingSkip_ <= 0) return false;
    --pendingSkip_;
    return true;
  }

  void Word(const KeywordInfo& info, bool hasParam, int n) {
    formatKnown_ = false;
    const Keyword k = info.keyword;
    // Destinations first: they decide where the group's text goes.
    switch (k) {
      case K::FontTable:
        st_.dest = Destination::FontTable;
        return;
      case K::ColourTable:
        st_.dest = Destination::ColorTable;
        colourPending_ = false;
        return;
      case K::Hidden:
        st_.dest = Destination::Skip;
        return;
      default:
        break;
    }
    if (st_.dest == Destination::FontTable) {
      FontWord(k, hasParam, n);
      return;
    }
    if (st_.dest == Destination::ColorTable) {
      ColourWord(k, n);
      return;
    }
    RtfCharFormat& f = st_.format;
    bool on = !hasParam || n != 0;
    switch (k) {
      case K::Paragraph:
        if (st_.dest == Destination::Body) EndParagraph();
        break;
      case K::Line:
        Char('\n');
        break;
      case K::Tab:
        Char('\t');
        break;
      case K::Symbol:
        Char(info.symbol);
        break;
      case K::Bold:
        f.bold = on;
        break;
      case K::Italic:
        f.italic = on;
        break;
      case K::Underline:
        f.underline = on;
        break;
      case K::UnderlineNone:
        f.underline = false;
        break;
      case K::FontSize:
        f.halfPoints = hasParam && n > 0 ? std::min(n, 1000) : 24;
        break;
      case K::Colour:
        st_.colourIndex = n;
        f.colour = Colour(n);
        break;
      case K::Highlight:
        f.highlight = n > 0 ? Colour(n) : std::nullopt;
        break;
      case K::Font:
        st_.fontIndex = n;
        f.fixedPitch = FontIsFixed(n);
        break;
      case K::DefaultFont:
        defaultFont_ = n;
        st_.fontIndex = n;
        break;
      case K::Plain:
        f = RtfCharFormat{};
        st_.colourIndex = 0;
        st_.fontIndex = defaultFont_;
        f.fixedPitch = FontIsFixed(defaultFont_);
        break;
      case K::ParagraphDefaults:
        st_.align = RtfAlign::Left;
        st_.leftIndent = 0;
        st_.firstIndent = 0;
        break;
      case K::AlignLeft:
        st_.align = RtfAlign::Left;
        break;
      case K::AlignCenter:
        st_.align = RtfAlign::Center;
        break;
      case K::AlignRight:
        st_.align = RtfAlign::Right;
        break;
      case K::Justify:
        st_.align = RtfAlign::Justify;
        break;
      case K::LeftIndent:
        st_.leftIndent = std::clamp(n, 0, 14400);
        break;
      case K::FirstIndent:
        st_.firstIndent = std::clamp(n, -14400, 14400);
        break;
      case K::UnicodeSkip:
        st_.unicodeSkip = std::clamp(n, 0, 16);
        break;
      case K::Unicode:
        Unicode(n);
        break;
      default:
        break;  // any other word is skipped
    }
  }

  void Unicode(int n) {
    // \u takes a signed 16-bit number; negative ones stand for the codes above 32767.
    std::int64_t code = n < 0 ? static_cast<std::int64_t>(n) + 65536 : n;
    pendingSkip_ = 0;
    if (code >= 0xD800 && code <= 0xDBFF) {
      FlushSurrogate();
      highSurrogate_ = static_cast<char32_t>(code);
    } else if (code >= 0xDC00 && code <= 0xDFFF) {
      char32_t high = highSurrogate_;
      highSurrogate_ = 0;
      Char(high != 0 ? 0x10000 + ((high - 0xD800) << 10) + (static_cast<char32_t>(code) - 0xDC00)
                     : 0xFFFD);
    } else if (code >= 0 && code <= 0xFFFF) {
      Char(static_cast<char32_t>(code));
    } else {
      Char(0xFFFD);
    }
    pendingSkip_ = st_.unicodeSkip;
  }

  // --- Tables ------------------------------------------------------------------------------
  void FontWord(Keyword w, bool hasParam, int n) {
    if (w == K::Font && hasParam) {
      FinishFont();
      st_.fontIndex = n;
      fontName_.clear();
      fontFixed_ = false;
      fontOpen_ = true;
    } else if (w == K::FixedFamily) {
      fontFixed_ = true;
    } else if (w == K::Pitch) {
      if (n == 1) fontFixed_ = true;
    }
  }

  void FontText(std::uint8_t b) {
    if (!fontOpen_) return;
    if (b == ';') {
      FinishFont();
      return;
    }
    if (fontName_.size() < 64) fontName_ += static_cast<char>(b);
  }

  void FinishFont() {
    if (!fontOpen_) return;
    fontOpen_ = false;
    if (fonts_.size() >= 4096 && !fonts_.count(st_.fontIndex)) return;
    FontInfo& info = fonts_[st_.fontIndex];
    info.name = fontName_;
    info.fixedFamily = fontFixed_;
  }

  bool FontIsFixed(int index) const {
    auto it = fonts_.find(index);
    if (it == fonts_.end()) return false;
    return it->second.fixedFamily || NameLooksFixedPitch(it->second.name);
  }

  void ColourWord(Keyword w, int n) {
    int v = std::clamp(n, 0, 255);
    if (w == K::Red) {
      red_ = v;
    } else if (w == K::Green) {
      green_ = v;
    } else if (w == K::Blue) {
      blue_ = v;
    } else {
      return;
    }
    colourPending_ = true;
  }

  void ColourText(std::uint8_t b) {
    if (b != ';') return;
    if (colours_.size() < 65536) {
      colours_.push_back(colourPending_ ? std::optional<Rgb>(MakeRgb(red_, green_, blue_))
                                        : std::nullopt);
    }
    colourPending_ = false;
    red_ = green_ = blue_ = 0;
  }

  std::optional<Rgb> Colour(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= colours_.size()) return std::nullopt;
    return colours_[static_cast<std::size_t>(index)];
  }

  // --- Text --------------------------------------------------------------------------------
  // A byte of the file outside an escape.
  void Byte(std::uint8_t b) {
    if (SkipFallback()) return;
    switch (st_.dest) {
      case Destination::FontTable:
        FontText(b);
        return;
      case Destination::ColorTable:
        ColourText(b);
        return;
      case Destination::Skip:
        return;
      case Destination::Body:
        break;
    }
    Char(UnicodeOfByte(b));  // a tab included
  }

  void CodePageByte(std::uint8_t b) {
    if (st_.dest == Destination::FontTable) {
      FontText(b);
      return;
    }
    if (st_.dest != Destination::Body) return;
    Char(UnicodeOfByte(b));
  }

  // A character of the shown text; control characters other than tab and line break are
  // dropped.
  void Char(char32_t c) {
    if (st_.dest != Destination::Body) return;
    FlushSurrogate();
    if (c < 0xA0 && c != '\t' && c != '\n' && (c < 0x20 || c >= 0x7F)) return;
    AppendUtf8(RunText(), c);
  }

  // The text of the run the next character goes to: a new run when the format changed.
  std::string& RunText() {
    std::vector<RtfRun>& runs = paragraph_.runs;
    if (runs.empty() || (!formatKnown_ && !(runs.back().format == st_.format))) {
      runs.push_back({"", st_.format});
    }
    formatKnown_ = true;
    return runs.back().text;
  }

  // The stretch of printable ASCII that begins with the byte just read, in the body: each of
  // its bytes is its own character, so it is taken at once rather than byte by byte (text is
  // most of a file).
  void PlainText() {
    const char* const text = text_.c_str();
    const char* end = text + pos_;
    while (IsPlainText(*end)) ++end;  // the byte 0 after the text is not plain text
    const auto start = pos_ - 1;
    pos_ = static_cast<std::size_t>(end - text);
    RunText().append(text + start, pos_ - start);
  }

  // A first half of a surrogate pair without its second half shows as U+FFFD.
  void FlushSurrogate() {
    if (highSurrogate_ == 0) return;
    highSurrogate_ = 0;
    Char(0xFFFD);
  }

  void EndParagraph() {
    FlushSurrogate();
    paragraph_.align = st_.align;
    paragraph_.leftIndent = st_.leftIndent;
    paragraph_.firstIndent = st_.firstIndent;
    paragraph_.markFormat = st_.format;
    doc_.paragraphs.push_back(std::move(paragraph_));
    paragraph_ = RtfParagraph{};
  }

  const std::string text_;  // a copy of the file, which ends in a byte 0
  std::string_view in_;     // the file: a view of text_
  std::size_t pos_ = 0;
  GroupState st_;
  std::vector<GroupState> stack_;
  int overflow_ = 0;  // groups opened past the depth limit, not yet closed
  int pendingSkip_ = 0;
  char32_t highSurrogate_ = 0;
  // The last run of the paragraph has the format in force. Only a control word and the end
  // of a group change the format, and they clear this, so that text between them is compared
  // with the run's format once.
  bool formatKnown_ = false;

  std::map<int, FontInfo> fonts_;
  int defaultFont_ = 0;
  std::string fontName_;
  bool fontFixed_ = false;
  bool fontOpen_ = false;

  std::vector<std::optional<Rgb>> colours_;
  int red_ = 0, green_ = 0, blue_ = 0;
  bool colourPending_ = false;

  RtfParagraph paragraph_;
  RtfDocument doc_;
};

void AppendColour(std::string& out, const char* property, Rgb c) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += ' ';
  out += property;
  out += ":#";
  for (int shift = 20; shift >= 0; shift -= 4) out += kDigits[(c >> shift) & 0xF];
  out += ';';
}

// The bytes the HTML carries as they are: all but the four that have entities, the line break
// and the byte 0 that ends a C string.
constexpr ByteClass IsHtmlPlain([](int c) {
  return c != '&' && c != '<' && c != '>' && c != '"' && c != '\n' && c != 0;
});

void AppendEscaped(std::string& out, const std::string& text) {
  const char* at = text.c_str();
  const char* const end = at + text.size();
  for (;;) {
    const char* plain = at;
    while (IsHtmlPlain(*at)) ++at;
    out.append(plain, static_cast<std::size_t>(at - plain));
    if (at == end) return;
    switch (*at++) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\n':
        out += "<br />";
        break;
      default:
        out += '\0';  // a byte 0 inside the text
    }
  }
}

// A span with the run's format as its style; the caller closes it.
void OpenSpan(std::string& out, const RtfCharFormat& f) {
  // Half-points to points: 25 half-points are 12.5 points.
  out += "<span style=\"font-size:";
  out += std::to_string(f.halfPoints / 2);
  out += f.halfPoints % 2 ? ".5pt;" : "pt;";
  if (f.bold) out += " font-weight:700;";
  if (f.italic) out += " font-style:italic;";
  if (f.underline) out += " text-decoration:underline;";
  if (f.colour) AppendColour(out, "color", *f.colour);
  if (f.highlight) AppendColour(out, "background-color", *f.highlight);
  if (f.fixedPitch) out += " font-family:monospace;";
  out += "\">";
}

const char* AlignName(RtfAlign a) {
  switch (a) {
    case RtfAlign::Center:
      return "center";
    case RtfAlign::Right:
      return "right";
    case RtfAlign::Justify:
      return "justify";
    case RtfAlign::Left:
      break;
  }
  return "left";
}

}  // namespace

std::string RtfParagraph::Text() const {
  std::string out;
  for (const RtfRun& r : runs) out += r.text;
  return out;
}

RtfDocument ReadRtf(std::string_view rtf) {
  return Reader(rtf).Run();
}

std::string RtfToHtml(const RtfDocument& doc) {
  std::string out;
  std::size_t size = 0;  // about the size of the HTML, so it grows at most once or twice
  for (const RtfParagraph& p : doc.paragraphs) {
    size += 256;
    for (const RtfRun& r : p.runs) size += 160 + r.text.size();
  }
  out.reserve(size);
  for (const RtfParagraph& p : doc.paragraphs) {
    // Twips to pixels at 15 twips a pixel.
    out += "<p style=\"margin-top:0px; margin-bottom:0px; white-space:pre-wrap; text-align:";
    out += AlignName(p.align);
    out += "; margin-left:";
    out += std::to_string(p.leftIndent / 15);
    out += "px; text-indent:";
    out += std::to_string(p.firstIndent / 15);
    out += "px;\">";
    if (p.runs.empty()) {
      // One kept blank gives the empty paragraph the height of a line of its size.
      OpenSpan(out, p.markFormat);
      out += " </span>";
    }
    for (const RtfRun& r : p.runs) {
      OpenSpan(out, r.format);
      AppendEscaped(out, r.text);
      out += "</span>";
    }
    out += "</p>\n";
  }
  return out;
}

}  // namespace dulvex
