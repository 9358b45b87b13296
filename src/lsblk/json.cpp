#include "lsblk/json.h"

#include <algorithm>
#include <limits>

namespace dulvex::json {

namespace {

const Value& NullValue() {
  static const Value null;
  return null;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

// Recursive descent over the text; the first fault ends the reading.
class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  ParseResult Run() {
    ParseResult r;
    SkipBlanks();
    if (ReadValue(r.value, 0)) {
      SkipBlanks();
      if (at_ != s_.size()) Fail("text after the value");
    }
    if (!error_.empty()) {
      r.value = Value{};
      r.error = error_ + " at byte " + std::to_string(at_);
    }
    return r;
  }

 private:
  bool Fail(const char* what) {
    if (error_.empty()) error_ = what;
    return false;
  }
  bool More() const { return at_ < s_.size(); }
  char Peek() const { return s_[at_]; }
  void SkipBlanks() {
    while (More() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) ++at_;
  }
  bool Word(std::string_view word) {
    if (s_.substr(at_, word.size()) != word) return Fail("unknown word");
    at_ += word.size();
    return true;
  }

  bool ReadValue(Value& v, int depth) {
    if (!More()) return Fail("the text ends where a value should be");
    switch (Peek()) {
      case '{':
        return ReadObject(v, depth + 1);
      case '[':
        return ReadArray(v, depth + 1);
      case '"':
        v.kind_ = Value::Kind::String;
        return ReadString(v.text_);
      case 't':
        v.kind_ = Value::Kind::Bool;
        v.bool_ = true;
        return Word("true");
      case 'f':
        v.kind_ = Value::Kind::Bool;
        return Word("false");
      case 'n':
        return Word("null");
      default:
        return ReadNumber(v);
    }
  }

  bool ReadArray(Value& v, int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    v.kind_ = Value::Kind::Array;
    ++at_;  // [
    SkipBlanks();
    if (More() && Peek() == ']') return ++at_, true;
    for (;;) {
      SkipBlanks();
      v.items_.emplace_back();
      if (!ReadValue(v.items_.back(), depth)) return false;
      SkipBlanks();
      if (!More()) return Fail("the text ends inside a list");
      const char c = s_[at_++];
      if (c == ']') return true;
      if (c != ',') return Fail("a list item is not followed by , or ]");
    }
  }

  bool ReadObject(Value& v, int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    v.kind_ = Value::Kind::Object;
    ++at_;  // {
    SkipBlanks();
    if (More() && Peek() == '}') return ++at_, true;
    for (;;) {
      SkipBlanks();
      std::string name;
      if (!More() || Peek() != '"') return Fail("a member name should be here");
      if (!ReadString(name)) return false;
      SkipBlanks();
      if (!More() || s_[at_++] != ':') return Fail("a member name is not followed by :");
      SkipBlanks();
      Value member;
      if (!ReadValue(member, depth)) return false;
      v.members_.emplace_back(std::move(name), std::move(member));
      SkipBlanks();
      if (!More()) return Fail("the text ends inside an object");
      const char c = s_[at_++];
      if (c == '}') return true;
      if (c != ',') return Fail("a member is not followed by , or }");
    }
  }

  bool ReadHex4(std::uint32_t& code) {
    if (s_.size() - at_ < 4) return Fail("a \\u escape is cut short");
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const int d = HexDigit(s_[at_++]);
      if (d < 0) return Fail("a \\u escape needs four hex digits");
      code = code * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
  }

  bool ReadString(std::string& out) {
    ++at_;  // "
    for (;;) {
      if (!More()) return Fail("the text ends inside a string");
      const char c = s_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return Fail("a control character inside a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (!More()) return Fail("the text ends inside a string");
      const char e = s_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          std::uint32_t code = 0;
          if (!ReadHex4(code)) return false;
          if (code >= 0xD800 && code < 0xDC00 && s_.substr(at_, 2) == "\\u") {
            // A high surrogate and, when a low one follows, the character of the pair.
            const std::size_t back = at_;
            at_ += 2;
            std::uint32_t low = 0;
            if (!ReadHex4(low)) return false;
            if (low >= 0xDC00 && low < 0xE000) {
              code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            } else {
              at_ = back;
            }
          }
          if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;  // a surrogate alone
          AppendUtf8(out, code);
          break;
        }
        default:
          return Fail("unknown escape in a string");
      }
    }
  }

  bool ReadNumber(Value& v) {
    const std::size_t start = at_;
    if (More() && Peek() == '-') ++at_;
    if (!More() || !IsDigit(Peek())) return Fail("no value here");
    if (Peek() == '0') {
      ++at_;
    } else {
      while (More() && IsDigit(Peek())) ++at_;
    }
    if (More() && Peek() == '.') {
      ++at_;
      if (!More() || !IsDigit(Peek())) return Fail("a number has no digits after its point");
      while (More() && IsDigit(Peek())) ++at_;
    }
    if (More() && (Peek() == 'e' || Peek() == 'E')) {
      ++at_;
      if (More() && (Peek() == '+' || Peek() == '-')) ++at_;
      if (!More() || !IsDigit(Peek())) return Fail("a number has no digits in its exponent");
      while (More() && IsDigit(Peek())) ++at_;
    }
    v.kind_ = Value::Kind::Number;
    v.text_ = std::string(s_.substr(start, at_ - start));
    return true;
  }

  std::string_view s_;
  std::size_t at_ = 0;
  std::string error_;
};

const Value& Value::operator[](std::string_view name) const {
  const auto it = std::find_if(members_.rbegin(), members_.rend(),
                               [name](const auto& member) { return member.first == name; });
  return it == members_.rend() ? NullValue() : it->second;
}

std::optional<std::uint64_t> Value::unsignedInteger() const {
  if (kind_ != Kind::Number) return std::nullopt;
  return ParseUnsigned(text_);
}

std::optional<std::uint64_t> ParseUnsigned(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t n = 0;
  for (const char c : digits) {
    if (!IsDigit(c)) return std::nullopt;
    const auto d = static_cast<std::uint64_t>(c - '0');
    if (n > (kMax - d) / 10) return std::nullopt;
    n = n * 10 + d;
  }
  return n;
}

ParseResult Parse(std::string_view text) {
  return Parser(text).Run();
}

}  // namespace dulvex::json
