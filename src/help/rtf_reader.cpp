#include "help/rtf_reader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

#include "view/codepage.h"

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

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
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

// Destinations whose text is never shown.
bool IsHiddenDestination(std::string_view word) {
  static constexpr std::string_view kHidden[] = {
      "stylesheet",        "info",      "pict",       "header",
      "headerl",           "headerr",   "headerf",    "footer",
      "footerl",           "footerr",   "footerf",    "object",
      "fldinst",           "themedata", "datastore",  "latentstyles",
      "listtable",         "revtbl",    "rsidtbl",    "generator",
      "listoverridetable", "xmlnstbl",  "filetbl",    "footnote",
      "annotation",        "atnid",     "atnauthor",  "colorschememapping",
      "pgdsctbl",          "mmathPr",   "nonshppict", "bkmkstart",
      "bkmkend",           "template",  "docvar",     "userprops"};
  return std::find(std::begin(kHidden), std::end(kHidden), word) != std::end(kHidden);
}

class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}

  RtfDocument Run() {
    while (pos_ < in_.size()) {
      char c = in_[pos_++];
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

  void ControlWord() {
    std::size_t start = pos_;
    while (pos_ < in_.size() && IsLetter(in_[pos_])) ++pos_;
    std::string_view word = in_.substr(start, pos_ - start);
    bool hasParam = false;
    bool negative = false;
    long long param = 0;
    if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && IsDigit(in_[pos_ + 1])) {
      negative = true;
      ++pos_;
    }
    while (pos_ < in_.size() && IsDigit(in_[pos_])) {
      hasParam = true;
      if (param < 1000000000LL) param = param * 10 + (in_[pos_] - '0');  // saturates
      ++pos_;
    }
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;  // the delimiting blank
    int n = static_cast<int>(std::min(param, 1000000000LL));
    if (negative) n = -n;

    if (word == "bin") {
      // Binary data: skip the bytes whatever they hold.
      std::size_t count = hasParam && n > 0 ? static_cast<std::size_t>(n) : 0;
      pos_ += std::min(count, in_.size() - pos_);
      return;
    }
    if (SkipFallback()) return;
    Word(word, hasParam, n);
  }

  // While fallback text of a \u is pending, the next character or escape is dropped.
  bool SkipFallback() {
    if (pendingSkip_ <= 0) return false;
    --pendingSkip_;
    return true;
  }

  void Word(std::string_view w, bool hasParam, int n) {
    // Destinations first: they decide where the group's text goes.
    if (w == "fonttbl") {
      st_.dest = Destination::FontTable;
      return;
    }
    if (w == "colortbl") {
      st_.dest = Destination::ColorTable;
      colourPending_ = false;
      return;
    }
    if (IsHiddenDestination(w)) {
      st_.dest = Destination::Skip;
      return;
    }
    if (st_.dest == Destination::FontTable) {
      FontWord(w, hasParam, n);
      return;
    }
    if (st_.dest == Destination::ColorTable) {
      ColourWord(w, n);
      return;
    }
    RtfCharFormat& f = st_.format;
    bool on = !hasParam || n != 0;
    if (w == "par" || w == "sect" || w == "page") {
      if (st_.dest == Destination::Body) EndParagraph();
    } else if (w == "line") {
      Char('\n');
    } else if (w == "tab") {
      Char('\t');
    } else if (w == "b") {
      f.bold = on;
    } else if (w == "i") {
      f.italic = on;
    } else if (w == "ul") {
      f.underline = on;
    } else if (w == "ulnone") {
      f.underline = false;
    } else if (w == "fs") {
      f.halfPoints = hasParam && n > 0 ? std::min(n, 1000) : 24;
    } else if (w == "cf") {
      st_.colourIndex = n;
      f.colour = Colour(n);
    } else if (w == "highlight" || w == "cb" || w == "chcbpat") {
      f.highlight = n > 0 ? Colour(n) : std::nullopt;
    } else if (w == "f") {
      st_.fontIndex = n;
      f.fixedPitch = FontIsFixed(n);
    } else if (w == "deff") {
      defaultFont_ = n;
      st_.fontIndex = n;
    } else if (w == "plain") {
      f = RtfCharFormat{};
      st_.colourIndex = 0;
      st_.fontIndex = defaultFont_;
      f.fixedPitch = FontIsFixed(defaultFont_);
    } else if (w == "pard") {
      st_.align = RtfAlign::Left;
      st_.leftIndent = 0;
      st_.firstIndent = 0;
    } else if (w == "ql") {
      st_.align = RtfAlign::Left;
    } else if (w == "qc") {
      st_.align = RtfAlign::Center;
    } else if (w == "qr") {
      st_.align = RtfAlign::Right;
    } else if (w == "qj") {
      st_.align = RtfAlign::Justify;
    } else if (w == "li") {
      st_.leftIndent = std::clamp(n, 0, 14400);
    } else if (w == "fi") {
      st_.firstIndent = std::clamp(n, -14400, 14400);
    } else if (w == "uc") {
      st_.unicodeSkip = std::clamp(n, 0, 16);
    } else if (w == "u") {
      Unicode(n);
    } else if (w == "emdash") {
      Char(0x2014);
    } else if (w == "endash") {
      Char(0x2013);
    } else if (w == "bullet") {
      Char(0x2022);
    } else if (w == "lquote") {
      Char(0x2018);
    } else if (w == "rquote") {
      Char(0x2019);
    } else if (w == "ldblquote") {
      Char(0x201C);
    } else if (w == "rdblquote") {
      Char(0x201D);
    } else if (w == "cell") {
      Char('\t');
    } else if (w == "row") {
      if (st_.dest == Destination::Body) EndParagraph();
    }
    // Any other word is skipped.
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
  void FontWord(std::string_view w, bool hasParam, int n) {
    if (w == "f" && hasParam) {
      FinishFont();
      st_.fontIndex = n;
      fontName_.clear();
      fontFixed_ = false;
      fontOpen_ = true;
    } else if (w == "fmodern") {
      fontFixed_ = true;
    } else if (w == "fprq") {
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

  void ColourWord(std::string_view w, int n) {
    int v = std::clamp(n, 0, 255);
    if (w == "red") {
      red_ = v;
    } else if (w == "green") {
      green_ = v;
    } else if (w == "blue") {
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
    if (b == '\t') {
      Char('\t');
      return;
    }
    CodePageByte(b);
  }

  void CodePageByte(std::uint8_t b) {
    if (st_.dest == Destination::FontTable) {
      FontText(b);
      return;
    }
    if (st_.dest != Destination::Body) return;
    std::vector<char32_t> c = DecodeUtf8(CharOfByte(b));
    if (!c.empty()) Char(c.front());
  }

  // A character of the shown text; control characters other than tab and line break are
  // dropped.
  void Char(char32_t c) {
    if (st_.dest != Destination::Body) return;
    FlushSurrogate();
    if (c != '\t' && c != '\n' && (c < 0x20 || (c >= 0x7F && c < 0xA0))) return;
    std::vector<RtfRun>& runs = paragraph_.runs;
    if (runs.empty() || !(runs.back().format == st_.format)) runs.push_back({"", st_.format});
    runs.back().text += EncodeUtf8(c);
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

  std::string_view in_;
  std::size_t pos_ = 0;
  GroupState st_;
  std::vector<GroupState> stack_;
  int overflow_ = 0;  // groups opened past the depth limit, not yet closed
  int pendingSkip_ = 0;
  char32_t highSurrogate_ = 0;

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

std::string HexColour(Rgb c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%06X", static_cast<unsigned>(c & 0xFFFFFF));
  return buf;
}

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
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
        out += c;
    }
  }
}

std::string SpanStyle(const RtfCharFormat& f) {
  std::string s;
  // Half-points to points: 25 half-points are 12.5 points.
  s += "font-size:" + std::to_string(f.halfPoints / 2) + (f.halfPoints % 2 ? ".5" : "") + "pt;";
  if (f.bold) s += " font-weight:700;";
  if (f.italic) s += " font-style:italic;";
  if (f.underline) s += " text-decoration:underline;";
  if (f.colour) s += " color:" + HexColour(*f.colour) + ";";
  if (f.highlight) s += " background-color:" + HexColour(*f.highlight) + ";";
  if (f.fixedPitch) s += " font-family:monospace;";
  return s;
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
  for (const RtfParagraph& p : doc.paragraphs) {
    // Twips to pixels at 15 twips a pixel.
    out += "<p style=\"margin-top:0px; margin-bottom:0px; white-space:pre-wrap; text-align:";
    out += AlignName(p.align);
    out += "; margin-left:" + std::to_string(p.leftIndent / 15) + "px";
    out += "; text-indent:" + std::to_string(p.firstIndent / 15) + "px;\">";
    if (p.runs.empty()) {
      // One kept blank gives the empty paragraph the height of a line of its size.
      out += "<span style=\"" + SpanStyle(p.markFormat) + "\"> </span>";
    }
    for (const RtfRun& r : p.runs) {
      out += "<span style=\"" + SpanStyle(r.format) + "\">";
      AppendEscaped(out, r.text);
      out += "</span>";
    }
    out += "</p>\n";
  }
  return out;
}

}  // namespace dulvex
