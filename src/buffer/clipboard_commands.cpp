// The Copy Buffer menu's clipboard items: the grid's selection out as hex text or as text, and
// hex text from elsewhere into the board.
#include <string>
#include <vector>

#include "base/codepage.h"
#include "buffer/buffer.h"
#include "core/form1_design.h"
#include "sectorio/sector_io.h"

namespace dulvex {

namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',';
}

// The words of a text, split at blanks, line breaks and commas.
std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSeparator(text[i])) ++i;
    const std::size_t start = i;
    while (i < text.size() && !IsSeparator(text[i])) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

// A word as the user sees it in a message: cut when long.
std::string Quoted(std::string_view word) {
  constexpr std::size_t kShown = 24;
  return "\"" + std::string(word.substr(0, kShown)) + (word.size() > kShown ? "…" : "") + "\"";
}

void RefusePaste(WindowModel& model, const std::string& why) {
  model.prompter().MessageBox(
      "Paste from Clipboard refused: " + why + " The copy buffer was not changed.",
      kStyleExclamation, AppTitle());
}

}  // namespace

void CopySelection(WindowModel& model, Clipboard& clipboard, bool asHex) {
  const AppState& s = model.state;
  if (!s.lastShown || s.lastShown->device != s.DevicePath) {
    model.Report("No sector is shown: nothing was copied.");
    return;
  }
  std::string text;
  int count = 0, first = -1, last = -1;
  for (std::size_t i = 0; i < 512; ++i) {
    if (model.Label55[i]->back != TextMarkedColour) continue;
    const std::uint8_t b = s.SectorBuffer[i];
    if (asHex) {
      if (count > 0) text += ' ';
      text += HexByte(b);
    } else {
      text += CellCharOfByte(b);
    }
    if (first < 0) first = static_cast<int>(i);
    last = static_cast<int>(i);
    ++count;
  }
  if (count == 0) {
    model.Report("Nothing is selected: nothing was copied.");
    return;
  }
  clipboard.SetText(text);
  std::string what = "Copied " + std::to_string(count) + (count == 1 ? " byte" : " bytes") +
                     " of sector " + std::to_string(s.lastShown->sector) + " of " + s.DevicePath +
                     (asHex ? " as hex text" : " as text");
  if (count != last - first + 1) what += " (not in one run: the bytes between were left out)";
  model.Report(what + ".");
}

void PasteFromClipboard(WindowModel& model, const Clipboard& clipboard) {
  mnuCopyB_Click(model);
  const std::string text = clipboard.Text();
  const std::vector<std::string_view> words = Words(text);
  if (words.empty()) {
    RefusePaste(model, "the clipboard holds no text; copy bytes as hex text first (\"EB 3C 90\").");
    return;
  }
  if (words.size() > 512) {
    RefusePaste(model, "the clipboard holds " + std::to_string(words.size()) +
                           " words; the copy buffer takes 512 bytes at most.");
    return;
  }
  std::vector<std::uint8_t> bytes;
  for (std::size_t n = 0; n < words.size(); ++n) {
    const std::string_view w = words[n];
    bool digits = true;
    for (char c : w) digits = digits && IsHexDigit(c);
    // As typed into an entry: the value must be a byte, 00 to FF. A word with anything but hex
    // digits is refused, where typing would read its leading digits (or none, as 00).
    const std::optional<std::uint8_t> b = digits ? TypedByte(w) : std::nullopt;
    if (!b) {
      RefusePaste(model, "word " + std::to_string(n + 1) + ", " + Quoted(w) +
                             ", is not a byte in hex (00 to FF); the bytes must be separated by "
                             "blanks, as in \"EB 3C 90\".");
      return;
    }
    bytes.push_back(*b);
  }
  Command8_Click(model);
  for (std::size_t i = 0; i < bytes.size(); ++i) EnterByte(model, i, bytes[i]);
  model.Report("Pasted " + std::to_string(bytes.size()) + (bytes.size() == 1 ? " byte" : " bytes") +
               " from the clipboard into the copy buffer (entries 0 to " +
               std::to_string(bytes.size() - 1) + "); nothing was written to the medium.");
}

}  // namespace dulvex
