// The rich-text reader of the help window: formatting, escapes, tables, and broken input.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "help/rtf_reader.h"

namespace dulvex {
namespace {

constexpr const char* kHeader =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}"
    "{\\f2\\fnil\\fprq1 Lucky;}{\\f3\\froman Courier Prime;}}"
    "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue255;}";

RtfDocument Read(const std::string& body) {
  return ReadRtf(std::string(kHeader) + body + "}");
}

// The single run of a one-run document.
RtfRun OnlyRun(const RtfDocument& d) {
  EXPECT_EQ(d.paragraphs.size(), 1u);
  if (d.paragraphs.empty() || d.paragraphs[0].runs.empty()) return {};
  EXPECT_EQ(d.paragraphs[0].runs.size(), 1u);
  return d.paragraphs[0].runs[0];
}

struct FormatCase {
  const char* body;
  const char* text;
  bool bold, italic, underline;
  int halfPoints;
  std::optional<Rgb> colour;
  bool fixed;
};

TEST(RtfReader, CharacterFormatting) {
  const FormatCase cases[] = {
      {"plain", "plain", false, false, false, 24, std::nullopt, false},
      {"\\b bold", "bold", true, false, false, 24, std::nullopt, false},
      {"{\\b\\b0 off}", "off", false, false, false, 24, std::nullopt, false},
      {"\\i it", "it", false, true, false, 24, std::nullopt, false},
      {"\\ul\\i\\b all", "all", true, true, true, 24, std::nullopt, false},
      {"\\ul\\ulnone u", "u", false, false, false, 24, std::nullopt, false},
      {"\\ul\\ul0 u", "u", false, false, false, 24, std::nullopt, false},
      {"\\fs40 big", "big", false, false, false, 40, std::nullopt, false},
      {"\\fs0 zero", "zero", false, false, false, 24, std::nullopt, false},
      {"\\cf1 red", "red", false, false, false, 24, MakeRgb(255, 0, 0), false},
      {"\\cf2 blue", "blue", false, false, false, 24, MakeRgb(0, 128, 255), false},
      {"\\cf0 auto", "auto", false, false, false, 24, std::nullopt, false},
      {"\\cf9 none", "none", false, false, false, 24, std::nullopt, false},
      {"\\f1 code", "code", false, false, false, 24, std::nullopt, true},
      {"\\f2 prq", "prq", false, false, false, 24, std::nullopt, true},
      {"\\f3 face", "face", false, false, false, 24, std::nullopt, true},
      {"\\f0 sans", "sans", false, false, false, 24, std::nullopt, false},
      {"\\b\\fs30\\cf1\\f1\\plain reset", "reset", false, false, false, 24, std::nullopt, false},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.body);
    RtfRun r = OnlyRun(Read(c.body));
    EXPECT_EQ(r.text, c.text);
    EXPECT_EQ(r.format.bold, c.bold);
    EXPECT_EQ(r.format.italic, c.italic);
    EXPECT_EQ(r.format.underline, c.underline);
    EXPECT_EQ(r.format.halfPoints, c.halfPoints);
    EXPECT_EQ(r.format.colour, c.colour);
    EXPECT_EQ(r.format.fixedPitch, c.fixed);
  }
}

TEST(RtfReader, GroupsRestoreTheirParentsFormatting) {
  RtfDocument d = Read("a{\\b b{\\i c}d}e\\highlight2 f\\highlight0 g");
  ASSERT_EQ(d.paragraphs.size(), 1u);
  const auto& runs = d.paragraphs[0].runs;
  ASSERT_EQ(runs.size(), 7u);
  EXPECT_EQ(runs[0].text, "a");
  EXPECT_EQ(runs[1].text, "b");
  EXPECT_TRUE(runs[1].format.bold);
  EXPECT_EQ(runs[2].text, "c");
  EXPECT_TRUE(runs[2].format.bold && runs[2].format.italic);
  EXPECT_EQ(runs[3].text, "d");
  EXPECT_FALSE(runs[3].format.italic);
  EXPECT_EQ(runs[4].text, "e");
  EXPECT_FALSE(runs[4].format.bold);
  EXPECT_EQ(runs[5].text, "f");
  EXPECT_EQ(runs[5].format.highlight, MakeRgb(0, 128, 255));
  EXPECT_EQ(runs[6].text, "g");
  EXPECT_FALSE(runs[6].format.highlight);
}

TEST(RtfReader, ParagraphsAndAlignment) {
  RtfDocument d =
      Read("\\qc one\\par two\\par\\pard three\\par\\qr four\\par\\qj\\li720\\fi-360 five");
  ASSERT_EQ(d.paragraphs.size(), 5u);
  EXPECT_EQ(d.paragraphs[0].align, RtfAlign::Center);
  EXPECT_EQ(d.paragraphs[1].align, RtfAlign::Center);  // alignment lasts until \pard
  EXPECT_EQ(d.paragraphs[2].align, RtfAlign::Left);
  EXPECT_EQ(d.paragraphs[3].align, RtfAlign::Right);
  EXPECT_EQ(d.paragraphs[4].align, RtfAlign::Justify);
  EXPECT_EQ(d.paragraphs[4].leftIndent, 720);
  EXPECT_EQ(d.paragraphs[4].firstIndent, -360);
  EXPECT_EQ(d.paragraphs[4].Text(), "five");
  RtfDocument q = Read("{\\ql x\\par}");
  ASSERT_EQ(q.paragraphs.size(), 1u);
  EXPECT_EQ(q.paragraphs[0].align, RtfAlign::Left);
}

TEST(RtfReader, EscapesAndSpecialCharacters) {
  struct Case {
    const char* body;
    const char* text;
  };
  const Case cases[] = {
      {"a\\\\b\\{c\\}", "a\\b{c}"},
      {"caf\\'e9", "caf\xC3\xA9"},
      {"\\'80uro",
       "\xE2\x82\xAC"
       "uro"},  // 0x80 is the euro sign in Windows-1252
      {"\\'93q\\'94", "\xE2\x80\x9Cq\xE2\x80\x9D"},
      {"raw \xE9", "raw \xC3\xA9"},
      {"a\\~b",
       "a\xC2\xA0"
       "b"},
      {"a\\-b", "ab"},
      {"a\\_b",
       "a\xE2\x80\x91"
       "b"},
      {"x\\u8364?y", "x\xE2\x82\xACy"},
      {"\\uc2 x\\u8364??y", "x\xE2\x82\xACy"},
      {"\\uc0 x\\u8364 y", "x\xE2\x82\xACy"},
      {"x\\u-4064?y", "x\xEF\x80\xA0y"},  // -4064 + 65536 = 0xF020
      {"\\u8364\\'80z",
       "\xE2\x82\xAC"
       "z"},                                        // the fallback escape is skipped
      {"\\u-10179?\\u-8704?", "\xF0\x9F\x98\x80"},  // a surrogate pair: U+1F600
      {"a\\tab b\\line c", "a\tb\nc"},
      {"\\emdash\\bullet\\lquote\\rquote", "\xE2\x80\x94\xE2\x80\xA2\xE2\x80\x98\xE2\x80\x99"},
      {"a\r\nb", "ab"},
      {"\\unknownword7 kept", "kept"},
      {"{\\*\\shpinst hidden}shown", "shown"},
      {"{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}{\\pict 0a0b}{\\header h}{\\footer f}ok",
       "ok"},
      {"{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt link}}", "link"},
      {"\\bin4 {}\\xrest", "rest"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    RtfDocument d = Read(c.body);
    ASSERT_EQ(d.paragraphs.size(), 1u);
    EXPECT_EQ(d.paragraphs[0].Text(), c.text);
  }
}

TEST(RtfReader, BadInputShowsWhatCanBeShown) {
  static const char kNulJunk[] = "{\\rtf1 nul\0byte\x01\x7F}";
  struct Case {
    std::string rtf;
    const char* text;  // text of all paragraphs joined with "|"
  };
  const Case cases[] = {
      {"{\\rtf1 unclosed {\\b group", "unclosed group"},
      {"{\\rtf1 a}}} b}", "a| b"},  // text after the document's end: a paragraph of its own
      {"}}}{\\rtf1 x", "x"},
      {"{\\rtf1 trunc\\'", "trunc"},
      {"{\\rtf1 trunc\\'4", "trunc"},  // the control character 4 is dropped
      {"{\\rtf1 half\\'4g}", "halfg"},
      {"{\\rtf1 end\\", "end"},
      {"{\\rtf1 \\fs99999999999999999999 big}", "big"},
      {"{\\rtf1 \\u99999999999 ?x}", "\xEF\xBF\xBDx"},
      {"{\\rtf1 \\uc99999999 \\u65 abcdefghijklmnopqrstx}", "Aqrstx"},
      {"{\\rtf1 \\bin99999999 gone", ""},
      {"{\\rtf1 \\bin-5 ok}", "ok"},
      {"{\\colortbl\\red999\\green-4\\blue7;}{\\rtf1 \\cf0 c}", "c"},
      {"plain text without header\\par second", "plain text without header|second"},
      {std::string(kNulJunk, sizeof kNulJunk - 1), "nulbyte"},
      {"{\\rtf1 \\u-10179?lone}", "\xEF\xBF\xBDlone"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rtf);
    RtfDocument d = ReadRtf(c.rtf);
    std::string joined;
    for (std::size_t i = 0; i < d.paragraphs.size(); ++i) {
      if (i) joined += "|";
      joined += d.paragraphs[i].Text();
    }
    EXPECT_EQ(joined, c.text);
  }
}

TEST(RtfReader, HugeColourIndexAndSizeStayInRange) {
  RtfDocument d = ReadRtf("{\\rtf1{\\colortbl;\\red999\\green-4\\blue7;}\\cf1 c\\fs3000 d}");
  ASSERT_EQ(d.paragraphs.size(), 1u);
  ASSERT_EQ(d.paragraphs[0].runs.size(), 2u);
  EXPECT_EQ(d.paragraphs[0].runs[0].format.colour, MakeRgb(255, 0, 7));
  EXPECT_EQ(d.paragraphs[0].runs[1].format.halfPoints, 1000);
}

TEST(RtfReader, DeepNestingAndLargeJunkRunInLinearTime) {
  std::string deep(200000, '{');
  deep += "\\b deep";
  deep += std::string(200000, '}');
  deep += " after";
  auto start = std::chrono::steady_clock::now();
  RtfDocument d = ReadRtf(deep);
  ASSERT_EQ(d.paragraphs.size(), 2u);
  EXPECT_EQ(d.paragraphs[0].Text(), "deep");
  EXPECT_TRUE(d.paragraphs[0].runs[0].format.bold);
  EXPECT_EQ(d.paragraphs[1].Text(), " after");
  EXPECT_FALSE(d.paragraphs[1].runs[0].format.bold);

  std::mt19937 rng(7);
  std::string junk(1 << 20, '\0');
  const char alphabet[] = "{}\\'*ufbinpar0123456789-; \xE9\x80";
  for (char& c : junk) c = alphabet[rng() % (sizeof alphabet - 1)];
  RtfDocument j = ReadRtf(junk);
  std::string html = RtfToHtml(j);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(RtfToHtml, EscapesTextAndWritesStyles) {
  RtfDocument d = ReadRtf(
      "{\\rtf1{\\fonttbl{\\f1\\fmodern Courier;}}{\\colortbl;\\red255\\green0\\blue0;}"
      "\\qc\\b\\cf1\\fs25 <a & \"b\">\\par\\pard\\par\\f1 x\\line y}");
  std::string html = RtfToHtml(d);
  EXPECT_NE(html.find("&lt;a &amp; &quot;b&quot;&gt;"), std::string::npos) << html;
  EXPECT_EQ(html.find("<a "), std::string::npos);
  EXPECT_NE(html.find("text-align:center"), std::string::npos);
  EXPECT_NE(html.find("font-size:12.5pt; font-weight:700; color:#FF0000;"), std::string::npos);
  EXPECT_NE(html.find("font-family:monospace"), std::string::npos);
  EXPECT_NE(html.find("x<br />y"), std::string::npos);
  // The empty paragraph keeps a line of its own.
  EXPECT_NE(html.find("font-weight:700; color:#FF0000;\"> </span></p>"), std::string::npos);
}

}  // namespace
}  // namespace dulvex
