// A small reader of rich text (RTF) for the help window: it turns the bytes of an RTF file
// into paragraphs of styled runs, and those into the HTML that the rich-text view shows.
// It reads the part of RTF a guide needs (groups, paragraphs, bold, italic, underline,
// sizes, colours, fixed-pitch fonts, alignment, code-page and Unicode escapes) and skips
// the rest. Any input, however broken, gives a document in time linear in its length.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/control.h"

namespace dulvex {

enum class RtfAlign { Left, Center, Right, Justify };

// The character formatting of a run.
struct RtfCharFormat {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int halfPoints = 24;           // font size in half-points (\fs); 24 is 12 points
  std::optional<Rgb> colour;     // text colour (\cf); none for the automatic colour
  std::optional<Rgb> highlight;  // background colour (\highlight, \cb); none for none
  bool fixedPitch = false;       // the font (\f) is of a fixed-pitch family

  bool operator==(const RtfCharFormat&) const = default;
};

// Text of one format. "\n" stands for a line break inside the paragraph (\line), "\t" for
// a tab. Text is UTF-8.
struct RtfRun {
  std::string text;
  RtfCharFormat format;
};

struct RtfParagraph {
  RtfAlign align = RtfAlign::Left;
  int leftIndent = 0;   // twips (\li)
  int firstIndent = 0;  // twips (\fi), added to leftIndent for the first line
  std::vector<RtfRun> runs;
  // The formatting in force at the paragraph mark; gives an empty paragraph its height.
  RtfCharFormat markFormat;

  std::string Text() const;  // all runs' text, for tests and searching
};

struct RtfDocument {
  std::vector<RtfParagraph> paragraphs;
};

// Groups deeper than this are read with the formatting of the deepest group kept.
inline constexpr int kRtfMaxGroupDepth = 200;

RtfDocument ReadRtf(std::string_view rtf);

// The document as an HTML fragment (every text escaped), one <p> per paragraph.
std::string RtfToHtml(const RtfDocument& doc);

// Makes every run readable where it is shown: on `base` (the viewer's background) with
// `text` for runs of the automatic colour. A colour, or the automatic one on a highlight,
// that falls short of kReadableContrast on what lies beneath it is moved towards black or
// white just far enough; a highlight keeps its colour.
void MakeReadable(RtfDocument& doc, Rgb text, Rgb base);

}  // namespace dulvex
