#include "scenario_runner/scenario.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "support/test_support.h"

namespace dulvex::scenario {

namespace {

// A fault of the script itself: reported with its file and line, it ends the file.
struct SyntaxError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Token {
  std::string text;
  bool quoted = false;  // written in double quotes ("cancel" is a text, cancel a word)
};
using Args = std::vector<Token>;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Splits a line into words and quoted texts; "#" at the start of a word begins a comment.
Args Tokenize(const std::string& line) {
  Args tokens;
  std::size_t i = 0;
  const auto blank = [&line](std::size_t at) {
    return line[at] == ' ' || line[at] == '\t' || line[at] == '\r';
  };
  while (i < line.size()) {
    if (blank(i)) {
      ++i;
      continue;
    }
    if (line[i] == '#') break;
    Token t;
    if (line[i] != '"') {
      while (i < line.size() && !blank(i)) t.text += line[i++];
      tokens.push_back(std::move(t));
      continue;
    }
    t.quoted = true;
    for (++i;; ++i) {
      if (i >= line.size()) throw SyntaxError("unterminated text");
      if (line[i] == '"') break;
      if (line[i] != '\\') {
        t.text += line[i];
        continue;
      }
      const char e = ++i < line.size() ? line[i] : '\0';
      if (e == '"' || e == '\\')
        t.text += e;
      else if (e == 't')
        t.text += '\t';
      else if (e == 'r')
        t.text += '\r';
      else if (e == 'n')
        t.text += '\n';
      else if (e == 'x' && i + 2 < line.size() && HexDigit(line[i + 1]) >= 0 &&
               HexDigit(line[i + 2]) >= 0) {
        t.text += static_cast<char>(HexDigit(line[i + 1]) * 16 + HexDigit(line[i + 2]));
        i += 2;
      } else {
        throw SyntaxError("bad escape in text");
      }
    }
    ++i;
    tokens.push_back(std::move(t));
  }
  return tokens;
}

// A text as a scenario writes it: quoted, with escapes for what would not show.
std::string Quote(const std::string& s) {
  std::string q = "\"";
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      q += '\\';
      q += ch;
    } else if (c == '\n') {
      q += "\\n";
    } else if (c == '\t') {
      q += "\\t";
    } else if (c == '\r') {
      q += "\\r";
    } else if (c < 32 || c == 127) {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02X", c);
      q += b;
    } else {
      q += ch;
    }
  }
  return q + "\"";
}

std::int64_t Integer(const Token& t) {
  try {
    std::size_t used = 0;
    const long long v = std::stoll(t.text, &used, 10);
    if (used == t.text.size()) return v;
  } catch (const std::exception&) {
  }
  throw SyntaxError("not a whole number: " + t.text);
}

// A count, sector number or offset: a whole number, not negative.
std::uint64_t Count(const Token& t) {
  const std::int64_t v = Integer(t);
  if (v < 0) throw SyntaxError("negative number: " + t.text);
  return static_cast<std::uint64_t>(v);
}

double Number(const Token& t) {
  try {
    std::size_t used = 0;
    const double v = std::stod(t.text, &used);
    if (used == t.text.size()) return v;
  } catch (const std::exception&) {
  }
  throw SyntaxError("not a number: " + t.text);
}

std::string NumberText(double v) {
  std::ostringstream out;
  out.precision(15);
  out << v;
  return out.str();
}

std::string FlagText(bool b) {
  return b ? "true" : "false";
}

std::string ColourText(Rgb c) {
  char b[8];
  std::snprintf(b, sizeof b, "%06X", static_cast<unsigned>(c));
  return b;
}

std::vector<std::uint8_t> Bytes(const Token& t) {
  try {
    auto bytes = testing::ParseHexBytes(t.text);
    if (!bytes.empty()) return bytes;
  } catch (const std::exception&) {
  }
  throw SyntaxError("bad hex bytes: " + t.text);
}

std::string BytesText(const std::vector<std::uint8_t>& bytes) {
  std::string s;
  for (const std::uint8_t b : bytes) {
    char h[4];
    std::snprintf(h, sizeof h, "%02X", b);
    s += (s.empty() ? "" : " ") + std::string(h);
  }
  return Quote(s);
}

char Letter(const Token& t) {
  if (t.text.size() != 1 || t.text[0] < 'A' || t.text[0] > 'Z')
    throw SyntaxError("not a drive letter: " + t.text);
  return t.text[0];
}

// "Name" or "Name(index)".
struct Ref {
  std::string name;
  int index = -1;
  std::string key;
};

Ref ParseRef(const std::string& text) {
  Ref r;
  const std::size_t open = text.find('(');
  r.name = text.substr(0, open);
  if (open != std::string::npos) {
    if (text.back() != ')') throw SyntaxError("bad control name: " + text);
    const std::uint64_t index = Count({text.substr(open + 1, text.size() - open - 2)});
    if (index > 1000000) throw SyntaxError("index too large: " + text);
    r.index = static_cast<int>(index);
  }
  if (r.name.empty()) throw SyntaxError("bad control name: " + text);
  r.key = Control::MakeKey(r.name, r.index);
  return r;
}

// The control properties a scenario can check, each read as text in the form a scenario
// writes its value.
struct Property {
  enum Kind { Text, Colour, Flag, Number } kind;
  std::string (*get)(const Control&);
};

const std::map<std::string, Property>& Properties() {
  using P = Property;
  static const std::map<std::string, Property> table = {
      {"caption", {P::Text, [](const Control& c) { return c.caption; }}},
      {"text", {P::Text, [](const Control& c) { return c.caption; }}},
      {"tooltip", {P::Text, [](const Control& c) { return c.tooltip; }}},
      {"back", {P::Colour, [](const Control& c) { return ColourText(c.back); }}},
      {"fore", {P::Colour, [](const Control& c) { return ColourText(c.fore); }}},
      {"visible", {P::Flag, [](const Control& c) { return FlagText(c.visible); }}},
      {"enabled", {P::Flag, [](const Control& c) { return FlagText(c.enabled); }}},
      {"bold", {P::Flag, [](const Control& c) { return FlagText(c.bold); }}},
      {"fontSize", {P::Number, [](const Control& c) { return NumberText(c.fontSize); }}},
      {"width", {P::Number, [](const Control& c) { return NumberText(c.width); }}},
      {"height", {P::Number, [](const Control& c) { return NumberText(c.height); }}},
      {"left", {P::Number, [](const Control& c) { return NumberText(c.left); }}},
      {"top", {P::Number, [](const Control& c) { return NumberText(c.top); }}},
  };
  return table;
}

// The expected value written as the property's getter writes it.
std::string Normalize(Property::Kind kind, const Token& t) {
  switch (kind) {
    case Property::Colour:
      if (t.text.size() != 6 || t.text.find_first_not_of("0123456789ABCDEFabcdef") != t.text.npos)
        throw SyntaxError("not a colour RRGGBB: " + t.text);
      return ColourText(static_cast<Rgb>(std::stoul(t.text, nullptr, 16)));
    case Property::Flag:
      if (t.text != "true" && t.text != "false") throw SyntaxError("not true|false: " + t.text);
      return t.text;
    case Property::Number:
      return NumberText(Number(t));
    case Property::Text:
      break;
  }
  return t.text;
}

std::string Describe(const ShownBox& b) {
  if (b.input)
    return "inputbox " + Quote(b.text) + " title " + Quote(b.title) + " default " +
           Quote(b.defaultText);
  return "box " + Quote(b.text) + " style " + std::to_string(b.style) + " title " + Quote(b.title);
}

class Runner {
 public:
  Runner(std::string file, std::ostream& out) : file_(std::move(file)), out_(out) {}
  Totals Run();

 private:
  using Handler = void (Runner::*)(const std::string& verb, const Args& args);
  struct Command {
    std::size_t minArgs, maxArgs;  // tokens after the command's words
    Handler run;
  };
  static const std::map<std::string, Command>& Commands();

  WindowModel& model() { return fixture_.model; }
  std::vector<ShownBox>& shown() { return fixture_.prompter.shown; }
  void Report(const std::string& text) { out_ << file_ << ':' << line_ << ": " << text << '\n'; }
  void Check(bool ok, const std::string& expected, const std::string& got) {
    if (ok) {
      ++totals_.passed;
      return;
    }
    ++totals_.failed;
    Report("expected " + expected + ", got " + got);
  }

  void Image(const std::string& verb, const Args& a);
  void Remove(const std::string& verb, const Args& a);
  void Resize(const std::string& verb, const Args& a);
  void Poke(const std::string& verb, const Args& a);
  void Answer(const std::string& verb, const Args& a);
  void Input(const std::string& verb, const Args& a);
  void Act(const std::string& verb, const Args& a);
  void ExpectProperty(const std::string& verb, const Args& a);
  void ExpectBox(const std::string& verb, const Args& a);
  void ExpectNoBox(const std::string& verb, const Args& a);
  void ExpectBoxes(const std::string& verb, const Args& a);
  void ExpectImage(const std::string& verb, const Args& a);
  void ExpectImageSize(const std::string& verb, const Args& a);
  void ExpectState(const std::string& verb, const Args& a);
  void ExpectQuit(const std::string& verb, const Args& a);
  void ExpectPointer(const std::string& verb, const Args& a);

  std::string file_;
  std::ostream& out_;
  int line_ = 0;
  Totals totals_;
  testing::ModelFixture fixture_;
  std::size_t matchedBoxes_ = 0;  // shown boxes already compared by an expectation
};

const std::map<std::string, Runner::Command>& Runner::Commands() {
  using R = Runner;
  static const std::map<std::string, Command> table = {
      {"image", {2, 99, &R::Image}},
      {"rm", {1, 1, &R::Remove}},
      {"resize", {2, 2, &R::Resize}},
      {"poke", {4, 4, &R::Poke}},
      {"answer", {1, 1, &R::Answer}},
      {"input", {1, 1, &R::Input}},
      {"menu", {1, 1, &R::Act}},
      {"click", {1, 1, &R::Act}},
      {"hover", {1, 1, &R::Act}},
      {"key", {2, 2, &R::Act}},
      {"type", {2, 2, &R::Act}},
      {"menu-disabled", {1, 1, &R::Act}},
      {"click-disabled", {1, 1, &R::Act}},
      {"hover-disabled", {1, 1, &R::Act}},
      {"key-disabled", {2, 2, &R::Act}},
      {"type-disabled", {2, 2, &R::Act}},
      {"expect", {2, 2, &R::ExpectProperty}},
      {"expect box", {1, 5, &R::ExpectBox}},
      {"expect inputbox", {1, 5, &R::ExpectBox}},
      {"expect nobox", {0, 0, &R::ExpectNoBox}},
      {"expect boxes", {1, 1, &R::ExpectBoxes}},
      {"expect image", {4, 4, &R::ExpectImage}},
      {"expect image-size", {2, 2, &R::ExpectImageSize}},
      {"expect state", {1, 3, &R::ExpectState}},
      {"expect quit", {0, 0, &R::ExpectQuit}},
      {"expect pointer", {1, 1, &R::ExpectPointer}},
  };
  return table;
}

Totals Runner::Run() {
  std::ifstream in(file_);
  if (!in) {
    out_ << file_ << ": cannot open\n";
    return {0, 1};
  }
  // The whole file is checked before anything runs.
  std::vector<std::pair<int, Args>> steps;
  std::string text;
  for (int n = 1; std::getline(in, text); ++n) {
    line_ = n;
    try {
      Args a = Tokenize(text);
      if (a.empty()) continue;
      if (a[0].quoted) throw SyntaxError("a line starts with a command");
      std::string verb = a[0].text;
      if (a.size() > 1 && Commands().count(verb + " " + a[1].text) != 0) {
        verb += " " + a[1].text;
        a.erase(a.begin());
      }
      const auto it = Commands().find(verb);
      if (it == Commands().end()) throw SyntaxError("unknown command " + verb);
      a[0].text = verb;
      const std::size_t count = a.size() - 1;
      if (count < it->second.minArgs || count > it->second.maxArgs)
        throw SyntaxError("wrong number of arguments for " + verb);
      steps.emplace_back(n, std::move(a));
    } catch (const SyntaxError& e) {
      ++totals_.failed;
      Report(std::string("syntax error: ") + e.what());
    }
  }
  if (totals_.failed > 0) return totals_;
  for (const auto& [n, a] : steps) {
    line_ = n;
    try {
      (this->*Commands().at(a[0].text).run)(a[0].text, Args(a.begin() + 1, a.end()));
    } catch (const SyntaxError& e) {
      ++totals_.failed;
      Report(std::string("syntax error: ") + e.what());
      break;
    } catch (const std::exception& e) {
      ++totals_.failed;
      Report(std::string("error: ") + e.what());
      break;
    }
  }
  return totals_;
}

void Runner::Image(const std::string&, const Args& a) {
  const std::filesystem::path file = fixture_.Drive(Letter(a[0]));
  std::filesystem::remove(file);  // never write through an old link
  const std::string& how = a[1].text;
  if (how == "zero" && a.size() == 3) {
    testing::MakeZeroImage(file, Count(a[2]));
  } else if (how == "mkfs" && a.size() >= 3) {
    std::string options;
    for (std::size_t i = 3; i < a.size(); ++i) {
      if (a[i].text.find('\'') != std::string::npos) throw SyntaxError("quote in mkfs option");
      options += " '" + a[i].text + "'";
    }
    testing::MakeFatImage(file, Count(a[2]), options);
  } else if (how == "link" && a.size() == 3) {
    std::filesystem::create_symlink(a[2].text, file);
  } else {
    throw SyntaxError("image needs zero N, mkfs N [options] or link PATH");
  }
}

void Runner::Remove(const std::string&, const Args& a) {
  std::filesystem::remove(fixture_.Drive(Letter(a[0])));
}

void Runner::Resize(const std::string&, const Args& a) {
  const std::filesystem::path file = fixture_.Drive(Letter(a[0]));
  std::filesystem::resize_file(file, Count(a[1]) * 512);
}

void Runner::Poke(const std::string&, const Args& a) {
  testing::PokeBytes(fixture_.Drive(Letter(a[0])), Count(a[1]), Count(a[2]), Bytes(a[3]));
}

void Runner::Answer(const std::string&, const Args& a) {
  const std::map<std::string, int> answers = {
      {"yes", kAnswerYes}, {"no", kAnswerNo}, {"ok", kAnswerOk}};
  const auto it = answers.find(a[0].text);
  if (it == answers.end() || a[0].quoted) throw SyntaxError("answer needs yes, no or ok");
  fixture_.prompter.messageAnswers.push_back(it->second);
}

void Runner::Input(const std::string&, const Args& a) {
  if (!a[0].quoted && a[0].text != "cancel") throw SyntaxError("input needs \"text\" or cancel");
  fixture_.prompter.inputAnswers.push_back(a[0].quoted ? a[0].text : std::string());
}

// menu, click, hover, key and type, as a user would do them; the "-disabled" forms expect
// the action to be refused because the control (or a panel or menu holding it) is disabled.
void Runner::Act(const std::string& command, const Args& a) {
  static const std::string kRefused = "-disabled";
  const bool refusal = command.ends_with(kRefused);
  const std::string verb = command.substr(0, command.size() - (refusal ? kRefused.size() : 0));
  const Ref r = ParseRef(a[0].text);
  int code = 0;
  if (verb == "key") {
    code = a[1].quoted && a[1].text.size() == 1 ? static_cast<unsigned char>(a[1].text[0])
                                                : static_cast<int>(Integer(a[1]));
  }
  Control* c = model().Find(r.name, r.index);
  const std::string action = verb + " " + r.key;
  if (c == nullptr) return Check(false, action, "no control " + r.key);
  const bool menu = c->kind == ControlKind::Menu || c->kind == ControlKind::MenuItem;
  if (verb == "menu" && !menu) return Check(false, action + " on a menu item", "another control");
  if (verb == "type" && c->kind != ControlKind::TextBox)
    return Check(false, action + " on a text box", "another control");
  const bool blocked = !model().Reachable(*c) || (verb == "type" && c->readOnly);
  bool ran = false;
  if (verb == "type") {
    ran = !blocked;
    if (ran) model().SetText(*c, a[1].text);
  } else if (verb == "key") {
    ran = model().Key(r.name, code, r.index);
  } else if (verb == "hover") {
    ran = model().Hover(r.name, r.index);
  } else {
    ran = model().Click(r.name, r.index);
  }
  const std::string why = blocked ? r.key + " disabled" : "no " + verb + " handler";
  if (refusal) return Check(!ran && blocked, action + " refused", ran ? "it ran" : why);
  if (!ran) Check(false, action + " to run", why);
}

void Runner::ExpectProperty(const std::string&, const Args& a) {
  const std::size_t dot = a[0].text.find('.');
  if (dot == std::string::npos) throw SyntaxError("expected CONTROL.property: " + a[0].text);
  const Ref r = ParseRef(a[0].text.substr(0, dot));
  const auto prop = Properties().find(a[0].text.substr(dot + 1));
  if (prop == Properties().end()) throw SyntaxError("unknown property: " + a[0].text);
  const bool text = prop->second.kind == Property::Text;
  const std::string want = Normalize(prop->second.kind, a[1]);
  const std::string expected = a[0].text + " " + (text ? Quote(want) : want);
  const Control* c = model().Find(r.name, r.index);
  if (c == nullptr) return Check(false, expected, "no control " + r.key);
  const std::string got = prop->second.get(*c);
  Check(got == want, expected, text ? Quote(got) : got);
}

// Compares the oldest box not yet compared, and counts it as compared.
void Runner::ExpectBox(const std::string& verb, const Args& a) {
  const bool input = verb == "expect inputbox";
  std::map<std::string, std::string> options;  // style, title, default
  std::string expected = (input ? "inputbox " : "box ") + Quote(a[0].text);
  for (std::size_t i = 1; i < a.size(); i += 2) {
    const std::string& name = a[i].text;
    const bool known = name == "title" || name == (input ? "default" : "style");
    if (!known || i + 1 >= a.size()) throw SyntaxError("bad box option " + name);
    options[name] = name == "style" ? std::to_string(Integer(a[i + 1])) : a[i + 1].text;
    expected += " " + name + " " + (name == "style" ? options[name] : Quote(options[name]));
  }
  if (matchedBoxes_ >= shown().size()) return Check(false, expected, "no box");
  const ShownBox& got = shown()[matchedBoxes_++];
  const auto same = [&options](const std::string& name, const std::string& value) {
    return options.count(name) == 0 || options[name] == value;
  };
  Check(got.input == input && got.text == a[0].text && same("style", std::to_string(got.style)) &&
            same("title", got.title) && same("default", got.defaultText),
        expected, Describe(got));
}

void Runner::ExpectNoBox(const std::string&, const Args&) {
  const std::size_t left = shown().size() - matchedBoxes_;
  std::string got;
  if (left > 0) got = Describe(shown()[matchedBoxes_]);
  if (left > 1) got += " and " + std::to_string(left - 1) + " more";
  matchedBoxes_ = shown().size();
  Check(left == 0, "no box", got);
}

void Runner::ExpectBoxes(const std::string&, const Args& a) {
  const std::size_t left = shown().size() - matchedBoxes_;
  Check(left == Count(a[0]), a[0].text + " boxes", std::to_string(left));
}

void Runner::ExpectImage(const std::string&, const Args& a) {
  const auto want = Bytes(a[3]);
  const auto got =
      testing::ReadBytes(fixture_.Drive(Letter(a[0])), Count(a[1]), Count(a[2]), want.size());
  Check(got == want,
        "image " + a[0].text + " " + a[1].text + " " + a[2].text + " " + BytesText(want),
        got.empty() ? "nothing there" : BytesText(got));
}

void Runner::ExpectImageSize(const std::string&, const Args& a) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(fixture_.Drive(Letter(a[0])), ec);
  Check(!ec && size == Count(a[1]), "image-size " + a[0].text + " " + a[1].text,
        ec ? "no image" : std::to_string(size));
}

void Runner::ExpectState(const std::string&, const Args& a) {
  const AppState& s = model().state;
  const std::string& name = a[0].text;
  const std::string expected = "state " + name + " ";
  if (name == "DevicePath" && a.size() == 2) {
    return Check(s.DevicePath == a[1].text, expected + Quote(a[1].text), Quote(s.DevicePath));
  }
  if (name == "LastHoverIndex" && a.size() == 2) {
    return Check(s.LastHoverIndex == Integer(a[1]), expected + a[1].text,
                 std::to_string(s.LastHoverIndex));
  }
  if (name == "lastShown" && (a.size() == 3 || (a.size() == 2 && a[1].text == "none"))) {
    const std::string want =
        a.size() == 2 ? "none" : std::to_string(Integer(a[1])) + " " + Quote(a[2].text);
    const std::string got =
        s.lastShown ? std::to_string(s.lastShown->sector) + " " + Quote(s.lastShown->device)
                    : "none";
    return Check(got == want, expected + want, got);
  }
  const std::map<std::string, const SectorBytes*> buffers = {
      {"SectorBuffer", &s.SectorBuffer},
      {"BootSectorBuffer", &s.BootSectorBuffer},
      {"WriteBuffer", &s.WriteBuffer}};
  const auto buffer = buffers.find(name);
  if (buffer == buffers.end() || a.size() != 3) throw SyntaxError("unknown state check " + name);
  const std::uint64_t offset = Count(a[1]);
  const auto want = Bytes(a[2]);
  if (offset + want.size() > 512) throw SyntaxError("past the end of " + name);
  const auto first = buffer->second->begin() + static_cast<std::ptrdiff_t>(offset);
  const std::vector<std::uint8_t> got(first, first + static_cast<std::ptrdiff_t>(want.size()));
  Check(got == want, expected + a[1].text + " " + BytesText(want), BytesText(got));
}

void Runner::ExpectQuit(const std::string&, const Args&) {
  Check(model().quitRequested, "quit", "no quit");
}

void Runner::ExpectPointer(const std::string&, const Args& a) {
  Check(model().mousePointer() == Integer(a[0]), "pointer " + a[0].text,
        std::to_string(model().mousePointer()));
}

}  // namespace

Totals RunFile(const std::string& file, std::ostream& out) {
  try {
    return Runner(file, out).Run();
  } catch (const std::exception& e) {
    out << file << ": error: " << e.what() << '\n';
    return {0, 1};
  }
}

int RunFiles(const std::vector<std::string>& files, std::ostream& out) {
  Totals all;
  for (const std::string& file : files) {
    const Totals t = RunFile(file, out);
    all.passed += t.passed;
    all.failed += t.failed;
  }
  out << all.passed << " passed, " << all.failed << " failed\n";
  return all.failed == 0 ? 0 : 1;
}

}  // namespace dulvex::scenario
