// Names shown inside one-line messages: a file name may hold any byte but "/" and NUL, and a
// line break or another control character in it must not break or garble the message.
#pragma once

#include <string>
#include <string_view>

namespace dulvex {

// `name` with every control character written as an escape: "\n", "\t", "\r", "\\" for a
// backslash, "\xHH" for the other bytes below 0x20 and 0x7F, and "\u0085", "\u2028",
// "\u2029" for the characters that some text widgets break lines at. Other bytes, UTF-8 or
// not, stay as they are.
std::string EscapeControls(std::string_view name);

}  // namespace dulvex
