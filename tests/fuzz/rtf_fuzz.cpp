// libFuzzer: -max_len=4096 -dict=rtf.dict
// Fuzz target of the help window's RTF reader: any bytes give a document and its HTML
// without a crash, a hang or a sanitizer report.
#include <string_view>

#include "fuzz_input.h"
#include "help/rtf_reader.h"

namespace {

// How often `c` occurs in `text`, found with the library's search: the HTML is several times
// the input, and a loop of this file would cost a comparison callback per byte.
std::size_t Count(std::string_view text, char c) {
  std::size_t n = 0;
  for (std::size_t at = text.find(c); at != std::string_view::npos; at = text.find(c, at + 1)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  dulvex::RtfDocument doc = dulvex::ReadRtf(in);
  std::string html = dulvex::RtfToHtml(doc);
  // The HTML never carries a raw "<" from the text: every tag the writer makes is one of
  // its own, so the count of "<" equals the count of tags it opens and closes.
  std::size_t open = Count(html, '<');
  std::size_t expected = 0;
  for (const dulvex::RtfParagraph& p : doc.paragraphs) {
    expected += 2 + 2 * (p.runs.empty() ? 1 : p.runs.size());
    for (const dulvex::RtfRun& r : p.runs) expected += Count(r.text, '\n');  // each is a <br />
  }
  Check(open == expected);
  return 0;
}
