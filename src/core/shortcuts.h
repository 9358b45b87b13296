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
    {kOpenImage, "Ctrl+O"},    {kUndoWrite, "Ctrl+Z"},     {kWriteHistory, "Ctrl+H"},
    {kPreviousSector, "PgUp"}, {kNextSector, "PgDown"},    {kFirstSector, "Ctrl+Home"},
    {kLastSector, "Ctrl+End"}, {kGotoSector, "Ctrl+G"},    {kGotoCluster, "Ctrl+Shift+G"},
    {kFindString, "Ctrl+F"},   {kFindNext, "F3"},          {kFindPrevious, "Shift+F3"},
    {kHelpMenu, "F1"},         {kDataInspector, "Ctrl+I"},
};

// The key of a menu item, if it has one.
constexpr std::optional<std::string_view> ShortcutOf(ControlId item) {
  for (const Shortcut& s : kShortcuts) {
    if (s.item.name == item.name && s.item.index == item.index) return s.keys;
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
