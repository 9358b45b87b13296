// The keys of the main window's commands. Each key stands for a menu item: the Qt layer sets
// it on the item's action (so the menu shows it beside the caption), the help guide lists them
// all, and pressing it does what choosing the item does.
#pragma once

#include <optional>
#include <string_view>

#include "core/controls.h"

namespace dulvex {

struct Shortcut {
  ControlId item;
  std::string_view keys;  // as Qt's key sequences spell them: "Ctrl+Shift+G", "PgDown"
};

inline constexpr Shortcut kShortcuts[] = {
    {kOpenImage, "Ctrl+O"},
    {kUndoWrite, "Ctrl+Z"},
    {kWriteHistory, "Ctrl+H"},
    {kPreviousSector, "PgUp"},
    {kNextSector, "PgDown"},
    {kFirstSector, "Ctrl+Home"},
    {kLastSector, "Ctrl+End"},
    {kGotoSector, "Ctrl+G"},
    {kGotoCluster, "Ctrl+Shift+G"},
    {kFindString, "Ctrl+F"},
    {kFindNext, "F3"},
    {kFindPrevious, "Shift+F3"},
    {kHelpMenu, "F1"},
    {kDataInspector, "Ctrl+I"},
    {kCopyHex, "Ctrl+C"},
    {kCopyText, "Ctrl+Shift+C"},
    {kPasteClipboard, "Ctrl+Shift+V"},
};

// The key of a menu item, if it has one.
constexpr std::optional<std::string_view> ShortcutOf(ControlId item) {
  for (const Shortcut& s : kShortcuts) {
    if (s.item.name == item.name && s.item.index == item.index) return s.keys;
  }
  return std::nullopt;
}

// The keys of the sector grid's cell cursor, taken while the grid has the keyboard focus (a
// text box keeps its own). Each moves the cursor; with Shift the selection becomes the run
// from where the Shift moves began to the cursor. Home and End go to the start and the end of
// the cursor's row of 16 bytes; the cursor keeps its place when PgUp and PgDown step sectors.
enum class CursorMove { Left, Right, Up, Down, RowStart, RowEnd };
struct CursorKey {
  std::string_view keys;
  CursorMove move;
  bool extend;  // Shift: select from the anchor to the cursor
};
inline constexpr CursorKey kCursorKeys[] = {
    {"Left", CursorMove::Left, false},     {"Shift+Left", CursorMove::Left, true},
    {"Right", CursorMove::Right, false},   {"Shift+Right", CursorMove::Right, true},
    {"Up", CursorMove::Up, false},         {"Shift+Up", CursorMove::Up, true},
    {"Down", CursorMove::Down, false},     {"Shift+Down", CursorMove::Down, true},
    {"Home", CursorMove::RowStart, false}, {"Shift+Home", CursorMove::RowStart, true},
    {"End", CursorMove::RowEnd, false},    {"Shift+End", CursorMove::RowEnd, true},
};

constexpr std::optional<CursorKey> CursorKeyOf(std::string_view keys) {
  for (const CursorKey& k : kCursorKeys) {
    if (k.keys == keys) return k;
  }
  return std::nullopt;
}

// The menu item a key stands for, if any.
constexpr std::optional<ControlId> ItemOfKeys(std::string_view keys) {
  for (const Shortcut& s : kShortcuts) {
    if (s.keys == keys) return s.item;
  }
  return std::nullopt;
}

}  // namespace dulvex
