// The rich-text reader of the help window: formatting, escapes, destinations, broken input.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "core/contrast.h"
#include "help/rtf_reader.h"

namespace dulvex {
namespace {

using namespace std::literals;

std::string Hex(Rgb c) {
  char b[8];
  return std::string(b, std::snprintf(b, sizeof b, "%06X", static_cast<unsigned>(c)));
}

// A document in one line: paragraphs joined by "|", "<c 720 -360>" (alignment, left and
// first-line indent) before a paragraph that is not plain, "[b i u f s40 cRRGGBB hRRGGBB:text]"
// for a run that is not plain.
std::string Describe(const RtfDocument& d) {
  std::string out;
  for (const RtfParagraph& p : d.paragraphs) {
    out += &p == d.paragraphs.data() ? "" : "|";
    if (p.align != RtfAlign::Left || p.leftIndent || p.firstIndent)
      out += "<"s + "lcrj"[static_cast<int>(p.align)] + " " + std::to_string(p.leftIndent) + " " +
             std::to_string(p.firstIndent) + ">";
    for (const RtfRun& r : p.runs) {
      const RtfCharFormat& f = r.format;
      std::string s = ""s + (f.bold ? " b" : "") + (f.italic ? " i" : "") +
                      (f.underline ? " u" : "") + (f.fixedPitch ? " f" : "");
      if (f.halfPoints != 24) s += " s" + std::to_string(f.halfPoints);
      if (f.colour) s += " c" + Hex(*f.colour);
      if (f.highlight) s += " h" + Hex(*f.highlight);
      out += s.empty() ? r.text : "[" + s.substr(1) + ":" + r.text + "]";
    }
  }
  return out;
}

TEST(RtfReader, SmallDocuments) {
  const std::string header =
      "{\\rtf1{\\fonttbl{\\f0 A;}{\\f1\\fmodern B;}{\\f2\\fprq1 C;}{\\f3\\froman Courier 10;}}"
      "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue255;\\red999\\green-4\\blue7;}";
  const std::pair<std::string_view, const char*> cases[] = {
      // Character formatting, groups and paragraphs.
      {"p{\\b b{\\b0 o}}{\\ul\\i\\b a}{\\ul\\ulnone u\\ul\\ul0 v}", "p[b:b]o[b i u:a]uv"},
      {"\\fs40 b\\fs0 z\\fs3000 m\\fs99999999999999999999 h", "[s40:b]z[s1000:mh]"},
      {"\\cf1 r\\cf2 b\\cf3 c\\cf0 a\\cf9 n\\highlight2 f",
       "[cFF0000:r][c0080FF:b][cFF0007:c]an[h0080FF:f]"},
      {"\\f1 m\\f2 p\\f3 c\\f0 s{\\b\\i\\fs30\\cf1\\f1\\plain reset}", "[f:mpc]sreset"},
      {"\\qc a\\par b\\par\\pard c\\par\\qr d\\par\\ql e\\par\\qj\\li720\\fi-360 f\\par",
       "<c 0 0>a|<c 0 0>b|c|<r 0 0>d|e|<j 720 -360>f"},
      // Control symbols, code-page and Unicode escapes (\u-4064 is U+F020).
      {"a\\\\b\\{c\\}\\~n\\-o\\_p", "a\\b{c}\xC2\xA0no\xE2\x80\x91p"},
      {"\\'e9 \\'80 \\'93q\\'94 \xE9", "\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC3\xA9"},
      {"x\\u8364?y\\uc2 \\u8364??\\uc0 \\u8364 z", "x\xE2\x82\xACy\xE2\x82\xAC\xE2\x82\xACz"},
      {"\\u-4064?y\\u8364\\'80z\\u-10179?\\u-8704?", "\xEF\x80\xA0y\xE2\x82\xACz\xF0\x9F\x98\x80"},
      {"a\\tab b\\line c\r\nd\\bullet\\rquote", "a\tb\ncd\xE2\x80\xA2\xE2\x80\x99"},
      // Unknown words, ignorable and invisible destinations.
      {"\\unknownword7 kept{\\*\\shpinst hidden}\\bin4 {}\\xrest", "keptrest"},
      {"{\\stylesheet{\\s0 N;}}{\\info{\\title T}}{\\pict 0a0b}{\\header h}{\\footer f}ok", "ok"},
      {"{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt link}}", "link"},
  };
  for (const auto& [body, want] : cases)
    EXPECT_EQ(Describe(ReadRtf(header + std::string(body) + "}")), want) << body;
}

// Any input gives a document (random input: the rtf_fuzz target and its replayed corpus); a
// nesting 200,000 deep would take minutes in time worse than linear.
TEST(RtfReader, BadInputShowsWhatCanBeShown) {
  const std::string deep = std::string(200000, '{') + "\\b deep" + std::string(200000, '}') + " x";
  const std::pair<std::string_view, const char*> cases[] = {
      {"{\\rtf1 unclosed {\\b group", "unclosed [b:group]"},
      {"}}}{\\rtf1 a}}} b}", "a| b"},  // text after the document's end: a paragraph of its own
      {"{\\rtf1 trunc\\'", "trunc"},
      {"{\\rtf1 end\\", "end"},
      {"{\\rtf1 half\\'4g\\bin-5 ok}", "halfgok"},
      {"{\\rtf1 \\u99999999999 ?x\\u-10179?lone}", "\xEF\xBF\xBDx\xEF\xBF\xBDlone"},
      {"{\\rtf1 \\uc99999999 \\u65 abcdefghijklmnopqrstx}", "Aqrstx"},
      {"{\\rtf1 \\bin99999999 gone", ""},
      {"plain text without header\\par second", "plain text without header|second"},
      {"{\\rtf1 nul\0byte\x01\x7F}"sv, "nulbyte"},
      {deep, "[b:deep]| x"},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(Describe(ReadRtf(in)), want) << in.substr(0, 40);
}

TEST(RtfToHtml, EscapesTextAndWritesStyles) {
  std::string html =
      RtfToHtml(ReadRtf("{\\rtf1{\\fonttbl{\\f1\\fmodern C;}}{\\colortbl;\\red255;}"
                        "\\qc\\b\\cf1\\fs25 <a & \"b\">\\par\\pard\\par\\f1 x\\line y}"));
  for (const char* part : {"&lt;a &amp; &quot;b&quot;&gt;", "text-align:center",
                           "font-size:12.5pt; font-weight:700; color:#FF0000;\"> </span></p>",
                           "font-family:monospace", "x<br />y"})
    EXPECT_NE(html.find(part), std::string::npos) << part << "\n" << html;
}

// The contrast of two colours as WCAG measures it, and colours moved just far enough to read:
// a colour that reads is kept; one that does not reaches 4.5:1 towards black or white, on
// light, dark and coloured backgrounds; the guide's automatic colour turns readable on a
// highlight, and stays automatic where it reads.
TEST(Contrast, RatiosAndReadableColours) {
  for (auto [a, b, want] : {std::tuple{MakeRgb(0, 0, 0), MakeRgb(255, 255, 255), 21.0},
                            {MakeRgb(255, 255, 255), MakeRgb(255, 255, 255), 1.0},
                            {MakeRgb(0, 0, 128), MakeRgb(255, 255, 255), 16.0097},
                            {MakeRgb(192, 0, 0), MakeRgb(255, 255, 255), 6.4789},
                            {MakeRgb(0, 0, 128), MakeRgb(30, 30, 30), 1.0413}}) {
    EXPECT_NEAR(ContrastRatio(a, b), want, 1e-3);
    EXPECT_NEAR(ContrastRatio(b, a), want, 1e-3);
  }
  EXPECT_EQ(ReadableOn(MakeRgb(192, 0, 0), MakeRgb(255, 255, 255)), MakeRgb(192, 0, 0));
  for (const Rgb back : {MakeRgb(30, 30, 30), MakeRgb(0, 0, 0), MakeRgb(255, 255, 255),
                         MakeRgb(0, 0, 128), MakeRgb(120, 120, 120), MakeRgb(255, 192, 255)}) {
    for (const Rgb fore : {MakeRgb(0, 0, 128), MakeRgb(192, 0, 0), MakeRgb(160, 0, 0),
                           MakeRgb(96, 96, 96), MakeRgb(255, 255, 128), MakeRgb(30, 30, 30)}) {
      const Rgb made = ReadableOn(fore, back);
      EXPECT_GE(ContrastRatio(made, back), kReadableContrast) << fore << " on " << back;
    }
  }
  // Red on a dark background stays reddish: lighter, not white.
  const Rgb red = ReadableOn(MakeRgb(192, 0, 0), MakeRgb(30, 30, 30));
  EXPECT_GT(RedOf(red), GreenOf(red) + 40);
  RtfDocument doc = ReadRtf(
      "{\\rtf1{\\colortbl;\\red0\\green0\\blue128;\\red0\\green255\\blue255;}"
      "\\cf1 navy\\cf0  plain {\\highlight2 lit}\\par}");
  MakeReadable(doc, MakeRgb(224, 224, 224), MakeRgb(30, 30, 30));
  ASSERT_EQ(doc.paragraphs.size(), 1u);
  const auto& runs = doc.paragraphs[0].runs;
  ASSERT_EQ(runs.size(), 3u);
  ASSERT_TRUE(runs[0].format.colour && runs[2].format.colour);
  EXPECT_GE(ContrastRatio(*runs[0].format.colour, MakeRgb(30, 30, 30)), kReadableContrast);
  EXPECT_FALSE(runs[1].format.colour.has_value());
  EXPECT_GE(ContrastRatio(*runs[2].format.colour, MakeRgb(0, 255, 255)), kReadableContrast);
}

}  // namespace
}  // namespace dulvex
