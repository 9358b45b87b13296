#include "scenario_runner/scenario.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string_view>
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

// Escapes of quoted texts: the letter after "\" and the character it stands for.
constexpr std::string_view kEscapeLetters = "\"\\tnr";
constexpr std::string_view kEscapedChars = "\"\\\t\n\r";

// Splits a line into words and quoted texts; "#" at the start of a word begins a comment.
Args Tokenize(const std::string& line) {
  Args tokens;
  const auto blank = [&line](std::size_t at) { return std::isspace(line[at] & 0xFF) != 0; };
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (blank(i)) continue;
    if (line[i] == '#') break;
    Token t{"", line[i] == '"'};
    if (!t.quoted) {
      for (; i < line.size() && !blank(i); ++i) t.text += line[i];
      tokens.push_back(std::move(t));
      continue;
    }
    for (++i;; ++i) {
      if (i >= line.size()) throw SyntaxError("unterminated text");
      const char c = line[i];
      if (c == '"') break;
      const std::size_t k = c == '\\' && i + 1 < line.size() ? kEscapeLetters.find(line[i + 1])
                                                             : std::string_view::npos;
      if (c != '\\') {
        t.text += c;
      } else if (k != std::string_view::npos) {
        t.text += kEscapedChars[k];
        ++i;
      } else if (i + 3 < line.size() && line[i + 1] == 'x' && std::isxdigit(line[i + 2] & 0xFF) &&
                 std::isxdigit(line[i + 3] & 0xFF)) {
        t.text += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
        i += 3;
      } else {
        throw SyntaxError("bad escape in text");
      }
    }
    tokens.push_back(std::move(t));
  }
  return tokens;
}

// A text as a scenario writes it: quoted, with escapes for what would not show.
std::string Quote(const std::string& s) {
  std::string q = "\"";
  for (const char c : s) {
    const std::size_t k = kEscapedChars.find(c);
    const auto u = static_cast<unsigned char>(c);
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", u);
    if (k != std::string_view::npos)
      q += {'\\', kEscapeLetters[k]};
    else if (u < 32 || u == 127)
      q += hex;
    else
      q += c;
  }
  return q + "\"";
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

std::int64_t Integer(const Token& t) {
  const double v = Number(t);
  if (v != std::trunc(v) || std::abs(v) > 1e15) throw SyntaxError("not a whole number: " + t.text);
  return static_cast<std::int64_t>(v);
}

// A count, sector number or offset: a whole number, not negative.
std::uint64_t Count(const Token& t) {
  const std::int64_t v = Integer(t);
  if (v < 0) throw SyntaxError("negative number: " + t.text);
  return static_cast<std::uint64_t>(v);
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
      {"top", {P::Number, [](const Control& c) { return NumberText(c.top); }}}};
  return table;
}

// The expected value written as the property's getter writes it.
std::string Normalize(Property::Kind kind, const Token& t) {
  if (kind == Property::Colour) {
    if (t.text.size() != 6 || t.text.find_first_not_of("0123456789ABCDEFabcdef") != t.text.npos)
      throw SyntaxError("not a colour RRGGBB: " + t.text);
    return ColourText(static_cast<Rgb>(std::stoul(t.text, nullptr, 16)));
  }
  if (kind == Property::Flag && t.text != "true" && t.text != "false")
    throw SyntaxError("not true or false: " + t.text);
  return kind == Property::Number ? NumberText(Number(t)) : t.text;
}

std::string Describe(const ShownBox& b) {
  if (b.input)
    return "inputbox " + Quote(b.text) + " title " + Quote(b.title) + " default " +
           Quote(b.defaultText);
  return "box " + Quote(b.text) + " style " + std::to_string(b.style) + " title " + Quote(b.title);
}

// One run of one file: a fresh model, the line being run and the tally.
struct Run {
  std::string file;
  std::ostream& out;
  int line = 0;
  Totals totals;
  testing::ModelFixture fixture;
  std::size_t matchedBoxes = 0;  // shown boxes already compared by an expectation

  Run(std::string name, std::ostream& report) : file(std::move(name)), out(report) {}

  WindowModel& model() { return fixture.model; }
  std::vector<ShownBox>& shown() { return fixture.prompter.shown; }
  std::filesystem::path Drive(const Token& t) const { return fixture.Drive(Letter(t)); }
  void Report(const std::string& text) { out << file << ':' << line << ": " << text << '\n'; }
  void Check(bool ok, const std::string& expected, const std::string& got) {
    ++(ok ? totals.passed : totals.failed);
    if (!ok) Report("expected " + expected + ", got " + got);
  }
};

// Each command gets its words joined ("expect box") and the tokens after them.
using Handler = void (*)(Run& run, const std::string& command, const Args& args);

void Image(Run& run, const std::string&, const Args& a) {
  const std::filesystem::path file = run.Drive(a[0]);
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

void Remove(Run& run, const std::string&, const Args& a) {
  std::filesystem::remove(run.Drive(a[0]));
}

void Resize(Run& run, const std::string&, const Args& a) {
  std::filesystem::resize_file(run.Drive(a[0]), Count(a[1]) * 512);
}

void Poke(Run& run, const std::string&, const Args& a) {
  testing::PokeBytes(run.Drive(a[0]), Count(a[1]), Count(a[2]), Bytes(a[3]));
}

void Answer(Run& run, const std::string&, const Args& a) {
  const std::map<std::string, int> answers = {
      {"yes", kAnswerYes}, {"no", kAnswerNo}, {"ok", kAnswerOk}};
  const auto it = answers.find(a[0].text);
  if (it == answers.end() || a[0].quoted) throw SyntaxError("answer needs yes, no or ok");
  run.fixture.prompter.messageAnswers.push_back(it->second);
}

void Input(Run& run, const std::string&, const Args& a) {
  if (!a[0].quoted && a[0].text != "cancel") throw SyntaxError("input needs \"text\" or cancel");
  run.fixture.prompter.inputAnswers.push_back(a[0].quoted ? a[0].text : std::string());
}

// menu, click, hover, key and type, as a user would do them; the "-disabled" forms expect
// the action to be refused because the control (or a panel or menu holding it) is disabled.
void Act(Run& run, const std::string& command, const Args& a) {
  const bool refusal = command.ends_with("-disabled");
  const std::string verb = command.substr(0, command.find('-'));
  const Ref r = ParseRef(a[0].text);
  int code = 0;  // a key's character code: a number, or a one-character text
  if (verb == "key" && a[1].quoted && a[1].text.size() == 1)
    code = static_cast<unsigned char>(a[1].text[0]);
  else if (verb == "key")
    code = static_cast<int>(Integer(a[1]));
  Control* c = run.model().Find(r.name, r.index);
  const std::string action = verb + " " + r.key;
  if (c == nullptr) return run.Check(false, action, "no control " + r.key);
  const bool menu = c->kind == ControlKind::Menu || c->kind == ControlKind::MenuItem;
  if (verb == "menu" && !menu) return run.Check(false, action + " on a menu", "another control");
  if (verb == "type" && c->kind != ControlKind::TextBox)
    return run.Check(false, action + " on a text box", "another control");
  const bool blocked = !run.model().Reachable(*c) || (verb == "type" && c->readOnly);
  bool ran = verb == "type" && !blocked;
  if (ran) run.model().SetText(*c, a[1].text);
  if (verb == "key") ran = run.model().Key(r.name, code, r.index);
  if (verb == "hover") ran = run.model().Hover(r.name, r.index);
  if (verb == "click" || verb == "menu") ran = run.model().Click(r.name, r.index);
  const std::string why = blocked ? r.key + " disabled" : "no " + verb + " handler";
  if (refusal) return run.Check(!ran && blocked, action + " refused", ran ? "it ran" : why);
  if (!ran) run.Check(false, action + " to run", why);
}

void ExpectProperty(Run& run, const std::string&, const Args& a) {
  const std::size_t dot = a[0].text.find('.');
  if (dot == std::string::npos) throw SyntaxError("expected CONTROL.property: " + a[0].text);
  const Ref r = ParseRef(a[0].text.substr(0, dot));
  const auto prop = Properties().find(a[0].text.substr(dot + 1));
  if (prop == Properties().end()) throw SyntaxError("unknown property: " + a[0].text);
  const bool text = prop->second.kind == Property::Text;
  const std::string want = Normalize(prop->second.kind, a[1]);
  const std::string expected = a[0].text + " " + (text ? Quote(want) : want);
  const Control* c = run.model().Find(r.name, r.index);
  if (c == nullptr) return run.Check(false, expected, "no control " + r.key);
  const std::string got = prop->second.get(*c);
  run.Check(got == want, expected, text ? Quote(got) : got);
}

// Compares the oldest box not yet compared, and counts it as compared.
void ExpectBox(Run& run, const std::string& command, const Args& a) {
  const bool input = command == "expect inputbox";
  std::map<std::string, std::string> options;  // style, title, default
  std::string expected = (input ? "inputbox " : "box ") + Quote(a[0].text);
  for (std::size_t i = 1; i < a.size(); i += 2) {
    const std::string& name = a[i].text;
    const bool known = name == "title" || name == (input ? "default" : "style");
    if (!known || i + 1 >= a.size()) throw SyntaxError("bad box option " + name);
    options[name] = name == "style" ? std::to_string(Integer(a[i + 1])) : a[i + 1].text;
    expected += " " + name + " " + (name == "style" ? options[name] : Quote(options[name]));
  }
  if (run.matchedBoxes >= run.shown().size()) return run.Check(false, expected, "no box");
  const ShownBox& got = run.shown()[run.matchedBoxes++];
  const auto same = [&options](const std::string& name, const std::string& value) {
    return options.count(name) == 0 || options[name] == value;
  };
  run.Check(got.input == input && got.text == a[0].text &&
                same("style", std::to_string(got.style)) && same("title", got.title) &&
                same("default", got.defaultText),
            expected, Describe(got));
}

void ExpectNoBox(Run& run, const std::string&, const Args&) {
  const std::size_t left = run.shown().size() - run.matchedBoxes;
  std::string got = left > 0 ? Describe(run.shown()[run.matchedBoxes]) : "";
  if (left > 1) got += " and " + std::to_string(left - 1) + " more";
  run.matchedBoxes = run.shown().size();
  run.Check(left == 0, "no box", got);
}

void ExpectBoxes(Run& run, const std::string&, const Args& a) {
  const std::size_t left = run.shown().size() - run.matchedBoxes;
  run.Check(left == Count(a[0]), a[0].text + " boxes", std::to_string(left));
}

void ExpectImage(Run& run, const std::string&, const Args& a) {
  const auto want = Bytes(a[3]);
  const auto got = testing::ReadBytes(run.Drive(a[0]), Count(a[1]), Count(a[2]), want.size());
  run.Check(got == want,
            "image " + a[0].text + " " + a[1].text + " " + a[2].text + " " + BytesText(want),
            got.empty() ? "nothing there" : BytesText(got));
}

void ExpectImageSize(Run& run, const std::string&, const Args& a) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(run.Drive(a[0]), ec);
  run.Check(!ec && size == Count(a[1]), "image-size " + a[0].text + " " + a[1].text,
            ec ? "no image" : std::to_string(size));
}

void ExpectState(Run& run, const std::string&, const Args& a) {
  const AppState& s = run.model().state;
  const std::string& name = a[0].text;
  std::string want, got;
  if (name == "DevicePath" && a.size() == 2) {
    want = Quote(a[1].text);
    got = Quote(s.DevicePath);
  } else if (name == "LastHoverIndex" && a.size() == 2) {
    want = std::to_string(Integer(a[1]));
    got = std::to_string(s.LastHoverIndex);
  } else if (name == "lastShown" && (a.size() == 3 || (a.size() == 2 && a[1].text == "none"))) {
    want = a.size() == 2 ? "none" : std::to_string(Integer(a[1])) + " " + Quote(a[2].text);
    got = s.lastShown ? std::to_string(s.lastShown->sector) + " " + Quote(s.lastShown->device)
                      : "none";
  } else {
    const std::map<std::string, const SectorBytes*> buffers = {
        {"SectorBuffer", &s.SectorBuffer},
        {"BootSectorBuffer", &s.BootSectorBuffer},
        {"WriteBuffer", &s.WriteBuffer}};
    const auto buffer = buffers.find(name);
    if (buffer == buffers.end() || a.size() != 3) throw SyntaxError("unknown state check " + name);
    const std::uint64_t offset = Count(a[1]);
    const auto bytes = Bytes(a[2]);
    if (offset + bytes.size() > 512) throw SyntaxError("past the end of " + name);
    const auto first = buffer->second->begin() + static_cast<std::ptrdiff_t>(offset);
    want = a[1].text + " " + BytesText(bytes);
    got = a[1].text + " " + BytesText({first, first + static_cast<std::ptrdiff_t>(bytes.size())});
  }
  run.Check(got == want, "state " + name + " " + want, got);
}

void ExpectQuit(Run& run, const std::string&, const Args&) {
  run.Check(run.model().quitRequested, "quit", "no quit");
}

void ExpectPointer(Run& run, const std::string&, const Args& a) {
  run.Check(run.model().mousePointer() == Integer(a[0]), "pointer " + a[0].text,
            std::to_string(run.model().mousePointer()));
}

struct Command {
  std::size_t minArgs, maxArgs;  // tokens after the command's words
  Handler run;
};

const std::map<std::string, Command>& Commands() {
  static const std::map<std::string, Command> table = {
      {"image", {2, 99, Image}},
      {"rm", {1, 1, Remove}},
      {"resize", {2, 2, Resize}},
      {"poke", {4, 4, Poke}},
      {"answer", {1, 1, Answer}},
      {"input", {1, 1, Input}},
      {"menu", {1, 1, Act}},
      {"click", {1, 1, Act}},
      {"hover", {1, 1, Act}},
      {"key", {2, 2, Act}},
      {"type", {2, 2, Act}},
      {"menu-disabled", {1, 1, Act}},
      {"click-disabled", {1, 1, Act}},
      {"hover-disabled", {1, 1, Act}},
      {"key-disabled", {2, 2, Act}},
      {"type-disabled", {2, 2, Act}},
      {"expect", {2, 2, ExpectProperty}},
      {"expect box", {1, 5, ExpectBox}},
      {"expect inputbox", {1, 5, ExpectBox}},
      {"expect nobox", {0, 0, ExpectNoBox}},
      {"expect boxes", {1, 1, ExpectBoxes}},
      {"expect image", {4, 4, ExpectImage}},
      {"expect image-size", {2, 2, ExpectImageSize}},
      {"expect state", {1, 3, ExpectState}},
      {"expect quit", {0, 0, ExpectQuit}},
      {"expect pointer", {1, 1, ExpectPointer}}};
  return table;
}

// Reads the whole file into commands (name, arguments) by line; syntax errors are reported
// and counted, and then nothing of the file runs.
std::vector<std::pair<int, Args>> Parse(Run& run, std::istream& in) {
  std::vector<std::pair<int, Args>> steps;
  std::string text;
  for (run.line = 1; std::getline(in, text); ++run.line) {
    try {
      Args a = Tokenize(text);
      if (a.empty()) continue;
      std::string name = a[0].quoted ? "" : a[0].text;
      if (a.size() > 1 && Commands().count(name + " " + a[1].text) != 0) {
        name += " " + a[1].text;
        a.erase(a.begin());
      }
      const auto it = Commands().find(name);
      if (it == Commands().end()) throw SyntaxError("unknown command " + a[0].text);
      const std::size_t count = a.size() - 1;
      if (count < it->second.minArgs || count > it->second.maxArgs)
        throw SyntaxError("wrong number of arguments for " + name);
      a[0].text = name;
      steps.emplace_back(run.line, std::move(a));
    } catch (const SyntaxError& e) {
      ++run.totals.failed;
      run.Report(std::string("syntax error: ") + e.what());
    }
  }
  return steps;
}

}  // namespace

Totals RunFile(const std::string& file, std::ostream& out) {
  std::ifstream in(file);
  if (!in) {
    out << file << ": cannot open\n";
    return {0, 1};
  }
  try {
    Run run{file, out};
    const auto steps = Parse(run, in);
    if (run.totals.failed > 0) return run.totals;  // nothing runs after a syntax error
    for (const auto& [line, a] : steps) {
      run.line = line;
      try {
        Commands().at(a[0].text).run(run, a[0].text, Args(a.begin() + 1, a.end()));
      } catch (const std::exception& e) {
        ++run.totals.failed;
        const bool syntax = dynamic_cast<const SyntaxError*>(&e) != nullptr;
        run.Report((syntax ? "syntax error: " : "error: ") + std::string(e.what()));
        break;
      }
    }
    return run.totals;
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
