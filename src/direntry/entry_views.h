// The two colour views of a 32-byte directory entry: each paints the hex cells of one entry
// of the sector grid so that every field of the entry has its own background colour. Only
// the hex cells Label3 are painted; the text cells Label55, which tell the selection, are
// never touched.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "core/control.h"
#include "core/window_model.h"

namespace dulvex {

// Field colours of the two layouts (the legends of the directory panel use the same ones).
inline constexpr Rgb kExtColour = MakeRgb(0, 255, 255);         // short-name extension
inline constexpr Rgb kAttrColour = MakeRgb(255, 255, 128);      // attribute, size, sequence
inline constexpr Rgb kFineTimeColour = MakeRgb(255, 192, 255);  // creation time tenths, checksum
inline constexpr Rgb kTimeColour = MakeRgb(255, 128, 0);        // creation and write times
inline constexpr Rgb kDateColour = MakeRgb(192, 64, 0);         // creation and write dates
inline constexpr Rgb kNameColour = MakeRgb(255, 128, 128);      // last access; long-name characters
inline constexpr Rgb kClusterHighColour = MakeRgb(255, 128, 255);  // high half of first cluster
inline constexpr Rgb kClusterLowColour = MakeRgb(192, 0, 192);     // low half of first cluster
// The analyzer's mark on the first cell of the piece that stands first among the pieces of
// one long name.
inline constexpr Rgb kLongNameStartColour = MakeRgb(0, 255, 0);

// Colour of byte k (0-31) of an entry under each view; nothing for a byte the view leaves
// alone.
using EntryColours = std::array<std::optional<Rgb>, 32>;
const EntryColours& ShortEntryColours();
const EntryColours& LongEntryColours();

// Paint the hex cells of the entry that begins at byte `offset` of the sector, in ascending
// byte order. Callers pass a multiple of 32 from 0 to 480; an offset whose entry would not
// lie inside the sector paints nothing.
void ShortEntryView(WindowModel& model, std::int16_t offset);
void LongEntryView(WindowModel& model, std::int16_t offset);

}  // namespace dulvex
