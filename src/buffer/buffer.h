// Marking bytes of the shown sector, the copy buffer board, editing its entries, and
// pasting it back onto the device.
//
// There is no selection array and no buffer array: a grid position is selected when its
// text cell Label55(i) shows TextMarkedColour, and a board entry is filled when its text
// cell LabelB55(i) shows TextMarkedColour (the editing clicks look at the hex cell
// LabelB3(i) instead). An entry's byte is its hex caption.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/clipboard.h"
#include "core/window_model.h"

namespace dulvex {

// --- Selection of positions of the sector grid -----------------------------------------
// Click on hex cell Label3(index): selects a plain position, otherwise (selected, or
// painted by the directory analysis) makes it plain.
void Label3_Click(WindowModel& model, int index);
// Click on text cell Label55(index): selects a position whose text cell is plain,
// otherwise makes it plain.
void Label55_Click(WindowModel& model, int index);
// Every position plain again (also removes the directory analysis colours).
void ResetSelection(WindowModel& model);
// A key of the cell cursor (core/shortcuts.h) pressed on the grid: moves the cursor and, with
// Shift, selects the run from the anchor to it. False for any other key.
bool MoveCursor(WindowModel& model, std::string_view keys);

// --- Copy buffer --------------------------------------------------------------------------
// COPY SELECTION (Command2): the selected positions into the board.
void Command2_Click(WindowModel& model);
// COPY SECTOR (Command9): selects every position and copies them all.
void Command9_Click(WindowModel& model);
// RESET BUFFER (Command8): every entry empty; bold marks stay.
void Command8_Click(WindowModel& model);
// "Copy Buffer" on the menu bar: hides the volume panel Frame1, shows the board Frame6.
void mnuCopyB_Click(WindowModel& model);

// --- Editing the board ------------------------------------------------------------------
// Click on board hex cell LabelB3(index): unmarks a filled entry, or marks it and asks for
// a byte in hexadecimal.
void LabelB3_Click(WindowModel& model, int index);
// Click on board text cell LabelB55(index): unmarks a filled entry, or marks it and asks
// for a text laid into the entries from index on.
void LabelB55_Click(WindowModel& model, int index);

// The value of the hexadecimal digits (0-9, A-F, a-f) at the start of a text, up to the
// first other character; 0 when there is none. Values above 0xFFFF saturate at 0x10000,
// which is all a caller needs to tell a byte from a number too large.
std::uint32_t LeadingHexValue(std::string_view text);
// The byte a text typed into a board entry gives: its leading hex value, when at most FF.
std::optional<std::uint8_t> TypedByte(std::string_view text);
// Board entry `index` holds `b`, marked as edited by the user.
void EnterByte(WindowModel& model, std::size_t index, std::uint8_t b);

// --- The system clipboard ------------------------------------------------------------------
// The selected positions of the grid, in order, as hex text ("EB 3C 90") or as the text the
// grid's text cells show ("." for control codes), onto the clipboard.
void CopySelection(WindowModel& model, Clipboard& clipboard, bool asHex);
// Hex text from the clipboard into the board: every word one byte in hex digits alone, 00 to FF
// as typed into an entry, at most 512 of them. The board is emptied and entries 0 on take the
// bytes; anything else is refused with a message and leaves the board as it was. Nothing is
// written to the medium.
void PasteFromClipboard(WindowModel& model, const Clipboard& clipboard);

// --- Paste ----------------------------------------------------------------------------------
// PASTE LAST SELECTION (Command5): the filled entries over the shown bytes, each at its own
// position, written over the shown sector after confirmation.
void Command5_Click(WindowModel& model);
// PASTE WITH OFFSET (Command10): the run of filled entries moved to an offset the user
// gives, written over the shown sector after confirmation.
void Command10_Click(WindowModel& model);

// Registers the handlers above on their controls; the clipboard items use `clipboard` (none:
// they say there is no clipboard).
void InstallBuffer(WindowModel& model, Clipboard* clipboard = nullptr);

}  // namespace dulvex
