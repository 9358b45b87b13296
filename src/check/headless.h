// The check without a window: dulvex --check PATH [--json]. Opens the medium read-only,
// checks it and prints the findings, one line each, or as one JSON object.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "check/checker.h"

namespace dulvex::check {

// The findings as lines: "error chain_into_free sector 1 offset 4: The chain of ...", then
// "3 findings" (or "clean"). `medium` names the medium in the first line.
std::string FindingsText(const CheckResult& result, const std::string& medium);
// The same as one JSON object: {"medium": ..., "clean": false, "findings": [...]}.
std::string FindingsJson(const CheckResult& result, const std::string& medium);

// Checks `path` (short names read in `page`) and prints to `out` (a failure to open it to `err`).
// Returns the exit status: 0 when the volume is clean, 1 when it has findings (or could not be
// checked whole), 2 when the medium cannot be opened.
int RunHeadlessCheck(const std::filesystem::path& path, bool json, OemCodePage page, std::FILE* out,
                     std::FILE* err);

}  // namespace dulvex::check
