// The main window's design: every panel, label, button, text box, shape, menu and the
// first cell of each grid, with its name, parent, position and size in twips, caption,
// colours, font and start state. The window model starts from it; the Qt layer places
// widgets from it.
#pragma once

#include "core/control.h"
#include "core/window_model.h"

namespace dulvex {

// Colours of the cells (plain and marked) and of the board entries.
inline constexpr Rgb HexPlainColour = MakeRgb(192, 255, 255);
inline constexpr Rgb HexMarkedColour = MakeRgb(0, 255, 255);
inline constexpr Rgb TextPlainColour = MakeRgb(255, 255, 192);
inline constexpr Rgb TextMarkedColour = MakeRgb(255, 192, 192);
inline constexpr Rgb BoardHexEmptyColour = MakeRgb(192, 255, 192);
inline constexpr Rgb BoardTextEmptyColour = MakeRgb(255, 224, 192);

// Panel and text colours the design uses again and again.
inline constexpr Rgb kNavy = MakeRgb(0, 0, 128);
inline constexpr Rgb kBlue = MakeRgb(0, 0, 192);
inline constexpr Rgb kYellow = MakeRgb(255, 255, 128);
inline constexpr Rgb kWhite = MakeRgb(255, 255, 255);
inline constexpr Rgb kButtonBlue = MakeRgb(128, 128, 255);

// Twips per logical pixel on screen.
inline constexpr double kTwipsPerPixel = 15.0;

// Adds the design's controls to an empty model, panels before their contents and, among
// siblings, back to front (a later control lies over an earlier one).
void AddForm1Design(WindowModel& model);

// Start-up of the cell grids: creates cells 1 to 511 of the sector grid (Label3, Label55)
// and of the copy-buffer board (LabelB3, LabelB55) from cell 0, and fills the model's
// cell arrays.
void Caselle(WindowModel& model);
void Caselle_Board(WindowModel& model);

}  // namespace dulvex
