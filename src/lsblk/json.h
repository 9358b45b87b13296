// A small JSON reader (RFC 8259) for what command-line tools such as lsblk print: the whole
// text becomes a tree of values. Numbers keep their text, so that a size is read as an
// integer of its own width and never passes through a double. Nesting is limited, so no
// input can exhaust the stack.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dulvex::json {

class Value {
 public:
  enum class Kind { Null, Bool, Number, String, Array, Object };

  Kind kind() const { return kind_; }
  bool isNull() const { return kind_ == Kind::Null; }
  bool isString() const { return kind_ == Kind::String; }
  bool isArray() const { return kind_ == Kind::Array; }
  bool isObject() const { return kind_ == Kind::Object; }

  bool boolean() const { return bool_; }
  // The text of a string (escapes resolved, UTF-8), or of a number as written.
  const std::string& text() const { return text_; }
  const std::vector<Value>& items() const { return items_; }
  // The member `name` of an object (the last one of that name); a null value when there is
  // none, or this is no object.
  const Value& operator[](std::string_view name) const;

  // A number written as a whole number from 0 to 2^64 - 1 ("12", not "12.0", "1e3" or "-1");
  // nothing for any other value or a number that does not fit.
  std::optional<std::uint64_t> unsignedInteger() const;

 private:
  friend class Parser;
  Kind kind_ = Kind::Null;
  bool bool_ = false;
  std::string text_;
  std::vector<Value> items_;
  std::vector<std::pair<std::string, Value>> members_;  // in the order written
};

struct ParseResult {
  Value value;
  std::string error;  // empty when the whole text was one JSON value; else what and where
};

inline constexpr int kMaxDepth = 64;  // arrays and objects inside each other

ParseResult Parse(std::string_view text);

// A whole number of decimal digits alone, from 0 to 2^64 - 1; nothing otherwise.
std::optional<std::uint64_t> ParseUnsigned(std::string_view digits);

}  // namespace dulvex::json
