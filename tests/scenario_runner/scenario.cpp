#include "scenario_runner/scenario.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <stdexcept>
#include <tuple>
#include <variant>

#include "commands/open_commands.h"
#include "commands/write_commands.h"
#include "fattools/fat_tools.h"
#include "journal/journal.h"
#include "sectorio/sector_io.h"
#include "support/test_support.h"

namespace dulvex::scenario {
namespace {

namespace fs = std::filesystem;
using testing::PokeBytes;

// A fault of the script itself: reported with its file and line, it ends the file.
using SyntaxError = std::invalid_argument;

struct Token {
  std::string text;
  bool quoted = false;  // "cancel" is a text, cancel a word
};
using Args = std::vector<Token>;  // the command's name, then its arguments
using A = const Args&;

// The letters after "\" in a text and the characters they stand for.
constexpr std::string_view kEscapes = "\"\\tnr", kEscaped = "\"\\\t\n\r";

template <typename T>
std::string Format(const char* format, T value) {
  char b[32];
  std::snprintf(b, sizeof b, format, value);
  return b;
}

// Reads all of `s` as a number (integers in `base`); false when it is not one.
template <typename T, typename... Base>
bool From(std::string_view s, T& v, Base... base) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base...);
  return ec == std::errc() && end == s.data() + s.size();
}

// The value of a hex digit, or -1.
int HexDigit(char c) {
  return c >= '0' && c <= '9'   ? c - '0'
         : c >= 'A' && c <= 'F' ? c - 'A' + 10
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                : -1;
}

// The text of the quoted token that begins at line[at] (the opening quote), with its escapes
// replaced; `at` moves past the closing quote.
std::string QuotedText(const std::string& line, std::size_t& at) {
  std::string text;
  for (std::size_t i = at + 1; i < line.size(); ++i) {
    if (line[i] == '"') return at = i + 1, text;
    if (line[i] != '\\') {
      text += line[i];
    } else if (i + 1 < line.size() && kEscapes.find(line[i + 1]) != kEscapes.npos) {
      text += kEscaped[kEscapes.find(line[++i])];
    } else if (i + 3 < line.size() && line[i + 1] == 'x' && HexDigit(line[i + 2]) >= 0 &&
               HexDigit(line[i + 3]) >= 0) {
      text += static_cast<char>(HexDigit(line[i + 2]) * 16 + HexDigit(line[i + 3])), i += 3;
    } else {
      break;  // an escape that is none of them
    }
  }
  throw SyntaxError("bad text");  // or no closing quote
}

// Splits a line into words and quoted texts; "#" at the start of a word begins a comment.
Args Tokenize(const std::string& line) {
  Args tokens;
  for (std::size_t i = 0;;) {
    while (i < line.size() && std::isspace(line[i] & 0xFF)) ++i;
    if (i == line.size() || line[i] == '#') return tokens;
    if (line[i] == '"') {
      tokens.push_back({QuotedText(line, i), true});
      continue;
    }
    const std::size_t start = i;
    while (i < line.size() && !std::isspace(line[i] & 0xFF)) ++i;
    tokens.push_back({line.substr(start, i - start)});
  }
}

// A text as a scenario writes it: quoted, with escapes for what would not show.
std::string Quote(const std::string& s) {
  std::string q = "\"";
  for (const char c : s) {
    const std::size_t k = kEscaped.find(c);
    q += k != kEscaped.npos       ? std::string{'\\', kEscapes[k]}
         : std::iscntrl(c & 0xFF) ? Format("\\x%02X", c & 0xFF)
                                  : std::string(1, c);
  }
  return q + '"';
}

// A decimal count, sector number, offset or key code: not negative.
std::int64_t Count(const Token& t) {
  std::int64_t v = 0;
  if (!From(t.text, v) || v < 0 || v > (1LL << 50)) throw SyntaxError("bad number " + t.text);
  return v;
}

// "EB 3C 90": hex pairs, blanks between them optional ("EB3C" is two bytes, "ABC" AB 0C).
std::vector<std::uint8_t> Bytes(const Token& t) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < t.text.size(); ++i) {
    if (t.text[i] == ' ') continue;
    int value = HexDigit(t.text[i]);
    if (value < 0) throw SyntaxError("bad hex bytes " + t.text);
    if (i + 1 < t.text.size() && HexDigit(t.text[i + 1]) >= 0)
      value = value * 16 + HexDigit(t.text[++i]);
    out.push_back(static_cast<std::uint8_t>(value));
  }
  if (out.empty()) throw SyntaxError("bad hex bytes " + t.text);
  return out;
}

std::string BytesText(const std::vector<std::uint8_t>& bytes) {
  std::string s;
  for (const std::uint8_t b : bytes) s += (s.empty() ? "" : " ") + Format("%02X", b);
  return Quote(s);
}

// The control properties a scenario can check.
const std::map<std::string, Property> kProperties = {
    {"caption", Property::Caption}, {"text", Property::Caption},  {"tooltip", Property::Tooltip},
    {"back", Property::Back},       {"fore", Property::Fore},     {"visible", Property::Visible},
    {"enabled", Property::Enabled}, {"bold", Property::Bold},     {"fontSize", Property::FontSize},
    {"width", Property::Width},     {"height", Property::Height}, {"left", Property::Left},
    {"top", Property::Top}};

// One run of one file: a fresh surface, the step being run and the tally.
struct Run {
  std::unique_ptr<Surface> s;
  std::string file;
  std::ostream& out;
  int line = 0, passed = 0, failed = 0;
  std::string step{};        // the line being run as the script writes it, without "expect"
  std::size_t compared = 0;  // shown boxes already compared by an expectation
  testing::TestIo io{};      // the media's calls: faults as the script sets them

  int Fail(const std::string& t) {
    return out << file << ':' << line << ": " << t << '\n', ++failed;
  }
  void Check(bool ok, const std::string& g) {
    ok ? ++passed : Fail("expected " + step + ", got " + g);
  }
  void Is(const std::string& got) { Check(got == step, got); }
  // A text as shown, the scenario's own folder (which changes from run to run) written <tmp>.
  std::string Tmp(std::string text) {
    const std::string tmp = s->Drive('A').parent_path().parent_path().string();
    for (std::size_t at; (at = text.find(tmp)) != std::string::npos;)
      text.replace(at, tmp.size(), "<tmp>");
    return text;
  }
  std::size_t Left() { return s->Shown().size() - compared; }
  WindowModel& model() { return s->model(); }
  fs::path Drive(const Token& t) const {
    if (t.text.size() != 1 || t.text[0] < 'A' || t.text[0] > 'Z')
      throw SyntaxError("bad drive " + t.text);
    return s->Drive(t.text[0]);
  }
  // "Name" or "Name(index)" with an index of one to six digits; nullptr when the model has no
  // such control. (The pattern recurses on each character: long words are no names.)
  Control* Find(const std::string& text) {
    static const std::regex kName(R"(([^()]+)(?:\((\d{1,6})\))?)");
    std::smatch m;
    if (text.size() > 64 || !std::regex_match(text, m, kName))
      throw SyntaxError("bad control name " + text.substr(0, 64));
    return model().Find(m[1].str(), m[2].matched ? std::stoi(m[2]) : -1);
  }
};

void Image(Run& r, A a) {
  // L-M: the same for each letter from L to M.
  if (const std::string& l = a[1].text; l.size() == 3 && l[1] == '-' && !a[1].quoted) {
    if (l[0] > l[2]) throw SyntaxError("bad letters " + l);
    Args one = a;
    for (char letter = l[0]; letter <= l[2]; ++letter) {
      one[1].text = std::string(1, letter);
      Image(r, one);
    }
    return;
  }
  const fs::path file = r.Drive(a[1]);
  fs::remove(file);     // a new file: faults set on the old one stay with it
  std::string options;  // each a word for the shell, in single quotes
  for (std::size_t i = 4; i < a.size(); ++i) {
    options += " '";
    for (const char c : a[i].text) options += c == '\'' ? std::string("'\\''") : std::string(1, c);
    options += '\'';
  }
  if (a[2].text == "zero" && a.size() == 4) return testing::MakeZeroImage(file, Count(a[3]));
  // link PATH, or link M for the file drives/M
  if (a[2].text == "link" && a.size() == 4)
    return fs::create_symlink(a[3].quoted ? fs::path(a[3].text) : r.Drive(a[3]), file);
  if (a[2].text != "mkfs") throw SyntaxError("bad image kind " + a[2].text);
  testing::MakeFatImage(file, Count(a[3]), options);
}

// menu, click, hover, key, type, keys and leave as a user does them; the "-disabled" forms expect
// the action refused because the control (or a panel or menu holding it) is disabled.
void Act(Run& r, A a) {
  const std::string verb = a[0].text.substr(0, a[0].text.find('-'));
  Control* c = r.Find(a[1].text);
  const int code = verb == "key" ? static_cast<int>(Count(a[2])) : 0;  // a character code
  if (c == nullptr) return r.Check(false, "no control " + a[1].text);
  const Attempt t = r.s->Act(verb, *c, verb == "type" || verb == "keys" ? a[2].text : "", code);
  if (t == Attempt::OtherKind) return r.Check(false, "a control of another kind");
  const bool refusal = a[0].text.ends_with("-disabled");
  const std::string why = t == Attempt::Ran        ? "it ran"
                          : t == Attempt::Disabled ? a[1].text + " disabled"
                                                   : "no handler";
  if (refusal || t != Attempt::Ran) r.Check(refusal && t == Attempt::Disabled, why);
}

// expect inspector "LINE": the data inspector is open and shows this line.
void ExpectInspector(Run& r, A a) {
  const std::optional<std::vector<std::string>> lines = r.s->Inspector();
  if (!lines) return r.Check(false, "no inspector open");
  for (const std::string& line : *lines)
    if (line == a[1].text) return r.Check(true, line);
  std::string got;
  for (const std::string& line : *lines) got += "\n  " + Quote(line);
  r.Check(false, "the lines" + got);
}

// press KEYS: keys pressed in the main window ("PgDown", "Ctrl+Home", "Shift+F3").
void Press(Run& r, A a) {
  const Attempt pressed = r.s->Press(a[1].text);
  if (pressed == Attempt::NoHandler)
    r.Check(false, "no menu item nor the cell cursor has the keys " + a[1].text);
  else if (pressed != Attempt::Ran)
    r.Check(false, "the grid did not take " + a[1].text);
}

// drop L ON Control, drop "PATH" ON Control: the image drives/L, or the file PATH, dropped on
// the control.
void Drop(Run& r, A a) {
  if (a[2].text != "ON" || a[2].quoted)
    throw SyntaxError("drop needs L or \"PATH\", ON and a control");
  const std::string path = a[1].quoted ? a[1].text : r.Drive(a[1]).string();
  Control* c = r.Find(a[3].text);
  if (c == nullptr) return r.Check(false, "no control " + a[3].text);
  if (r.s->Drop(*c, path) != Attempt::Ran) r.Fail("drop on " + a[3].text + " refused");
}

// A property's value as the script writes it, and read back from the script (false when the
// text is not one).
struct Written {
  static std::string Show(const std::string& v) { return Quote(v); }
  static std::string Show(bool v) { return v ? "true" : "false"; }
  static std::string Show(double v) { return Format("%.15g", v); }
  static std::string Show(Rgb v) { return Format("%06X", v); }
  static bool Read(const std::string& t, std::string& v) { return v = t, true; }
  static bool Read(const std::string& t, bool& v) { return (v = t == "true") || t == "false"; }
  static bool Read(const std::string& t, double& v) { return From(t, v); }
  static bool Read(const std::string& t, Rgb& v) { return t.size() == 6 && From(t, v, 16); }
};

void ExpectProperty(Run& r, A a) {
  const std::size_t dot = a[1].text.find('.');
  const auto prop = kProperties.find(dot == std::string::npos ? "" : a[1].text.substr(dot + 1));
  if (prop == kProperties.end()) throw SyntaxError("unknown property " + a[1].text);
  Control* c = r.Find(a[1].text.substr(0, dot));
  std::optional<Value> got = c == nullptr ? std::nullopt : r.s->Read(*c, prop->second);
  if (got && std::holds_alternative<std::string>(*got)) got = r.Tmp(std::get<std::string>(*got));
  // The value expected, read as the kind of value the property has.
  const Property p = prop->second;
  const Value kind = p == Property::Caption || p == Property::Tooltip ? Value(std::string())
                     : p == Property::Back || p == Property::Fore     ? Value(Rgb{})
                     : p == Property::Visible || p == Property::Enabled || p == Property::Bold
                         ? Value(false)
                         : Value(0.0);
  std::visit(
      [&](auto want) {
        if (!Written::Read(a[2].text, want)) throw SyntaxError("bad value " + a[2].text);
        if (c == nullptr) return r.Check(false, "no such control");
        if (!got) return r.Check(false, "nothing shown");
        const auto* value = std::get_if<decltype(want)>(&*got);
        r.Check(value != nullptr && *value == want,
                value != nullptr ? Written::Show(*value) : std::string("another kind of value"));
      },
      kind);
}

// Compares the oldest box not yet compared, in the options the script gives, and counts it
// as compared.
void ExpectBox(Run& r, A a) {
  const bool input = a[0].text != "expect box";
  for (std::size_t i = 2; i < a.size(); i += 2)
    if (a.size() % 2 != 0 || (a[i].text != "title" && a[i].text != (input ? "default" : "style")))
      throw SyntaxError("bad box option " + a[i].text);
  if (r.Left() == 0) return r.Check(false, "no box");
  const ShownBox& b = r.s->Shown()[r.compared++];
  std::string got = (b.file ? "filebox " : b.input ? "inputbox " : "box ") + Quote(r.Tmp(b.text));
  // The title as shown: a box given none shows the program's.
  const std::string title = b.title.empty() && !b.file ? AppTitle() : b.title;
  for (std::size_t i = 2; i < a.size(); i += 2)
    got += " " + a[i].text + " " +
           (a[i].text == "title" ? Quote(title)
            : input              ? Quote(b.defaultText)
                                 : std::to_string(b.style));
  r.Is(got);
}

// Names the boxes no expectation compared, and counts them as compared.
void ExpectNoBox(Run& r, A) {
  std::string got;
  for (; r.Left() > 0; ++r.compared)
    got += (got.empty() ? "" : ", ") + Quote(r.s->Shown()[r.compared].text);
  r.Check(got.empty(), got);
}

// Compares the bytes of a sector from offset a[at] with the hex text a[at + 1]; `same` and
// `got` carry what else the step compares.
void CompareBytes(Run& r, const SectorBytes& bytes, A a, std::size_t at, bool same = true,
                  const std::string& got = "") {
  const std::uint64_t offset = Count(a[at]);
  const auto want = Bytes(a[at + 1]);
  if (offset + want.size() > 512) throw SyntaxError("past the end of the sector");
  const std::vector<std::uint8_t> part(bytes.begin() + offset,
                                       bytes.begin() + offset + want.size());
  r.Check(same && part == want, got + BytesText(part));
}

void ExpectState(Run& r, A a) {
  const AppState& s = r.model().state;
  const std::string& name = a[1].text;
  if (name == "SectorBuffer" && a.size() == 4) return CompareBytes(r, s.SectorBuffer, a, 2);
  const auto& at = s.lastShown;
  const std::map<std::string, std::string> values = {
      {"DevicePath", Quote(s.DevicePath)},
      {"lastShown", at ? std::to_string(at->sector) + " " + Quote(at->device) : "none"}};
  if (!values.contains(name)) throw SyntaxError("unknown state " + name);
  r.Is("state " + name + " " + values.at(name));
}

// expect image L S O "HEX", and expect image-size L BYTES.
void ExpectImage(Run& r, A a) {
  if (a.size() == 3) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(r.Drive(a[1]), ec);
    return r.Is("image-size " + a[1].text + " " + (ec ? "no file" : std::to_string(size)));
  }
  const auto want = Bytes(a[4]);
  const auto got = testing::ReadBytes(r.Drive(a[1]), Count(a[2]), Count(a[3]), want.size());
  r.Check(got == want, got.empty() ? "nothing there" : BytesText(got));
}

// expect journal N: how many records the write journal holds. expect journal-last S STATE
// O "HEX": the newest record's sector and state and, from offset O, the bytes it writes.
void ExpectJournal(Run& r, A a) {
  journal::Journal& j = JournalOf(r.model());
  if (a[0].text == "expect journal") {
    std::int64_t n = 0;
    const Status res = j.Count("", &n);
    return r.Is("journal " + (res.ok() ? std::to_string(n) : Quote(res.Describe())));
  }
  std::vector<journal::Summary> newest;
  journal::Record rec;
  if (!j.Page("", 0, 1, &newest).ok() || newest.empty() || !j.Get(newest[0].id, &rec).ok())
    return r.Check(false, "no record");
  std::string state = journal::StateName(rec.state);
  std::replace(state.begin(), state.end(), ' ', '-');  // one word: not-written
  CompareBytes(r, rec.after, a, 3, rec.sector == Count(a[1]) && a[2].text == state,
               std::to_string(rec.sector) + " " + state + " ");
}

// An answer of this kind; `word` cancel or esc, or a text for the dialog.
Answer Queued(Answer::Kind kind, const Token& word) {
  Answer answer;
  answer.kind = kind;
  answer.escape = !word.quoted && word.text == "esc";
  answer.cancel = !word.quoted && word.text == "cancel";
  if (word.quoted) answer.text = word.text;
  return answer;
}

// answer yes|no|ok|esc: the button pressed in the next message box (esc: Esc pressed in it).
void QueueButton(Run& r, A a) {
  const std::map<std::string, int> k = {
      {"yes", kAnswerYes}, {"no", kAnswerNo}, {"ok", kAnswerOk}, {"esc", 0}};
  if (a[1].quoted || !k.contains(a[1].text)) throw SyntaxError("answer needs yes, no, ok or esc");
  Answer answer = Queued(Answer::Kind::Message, a[1]);
  answer.button = k.at(a[1].text);
  r.s->Queue(answer);
}

// input "text" | cancel | esc, and the same for a file dialog (file "PATH") and the Open Device
// dialog (device "PATH").
void QueueText(Run& r, A a) {
  if (!a[1].quoted && a[1].text != "cancel" && a[1].text != "esc" &&
      (a[0].text != "file" || a[1].text.size() != 1))
    throw SyntaxError(a[0].text + " needs \"text\", cancel or esc");
  Answer answer = Queued(a[0].text == "file"     ? Answer::Kind::File
                         : a[0].text == "device" ? Answer::Kind::Device
                                                 : Answer::Kind::Input,
                         a[1]);
  // file L: the file drives/L of the scenario's folder.
  if (a[0].text == "file" && !a[1].quoted && a[1].text != "cancel" && a[1].text != "esc")
    answer.text = r.Drive(a[1]).string();
  r.s->Queue(answer);
}

// find "text" [utf16|hex|name] [ignorecase] [back|start] [data], or find cancel|esc: the answer
// of the next "Find String" dialog.
void QueueFind(Run& r, A a) {
  Answer answer = Queued(Answer::Kind::Find, a[1]);
  if (!a[1].quoted && ((!answer.cancel && !answer.escape) || a.size() > 2))
    throw SyntaxError("find needs \"text\", cancel or esc");
  answer.find.text = a[1].text;
  for (std::size_t i = 2; i < a.size(); ++i) {
    const std::string& w = a[i].text;
    search::FindRequest& q = answer.find;
    if (w == "utf16" || w == "hex" || w == "name")
      q.kind = w == "hex"    ? search::FindKind::Hex
               : w == "name" ? search::FindKind::Name
                             : search::FindKind::Utf16;
    else if (w == "back" || w == "start")
      q.from = w == "back" ? search::FindFrom::Backward : search::FindFrom::SectorZero;
    else if (w == "ignorecase")
      q.ignoreCase = true;
    else if (w == "data")
      q.dataRegionOnly = true;
    else
      throw SyntaxError("bad find option " + w);
  }
  r.s->Queue(answer);
}

// fault L FIRST LAST: reads of those sectors of drives/L fail; fault flush: every flush of a
// write fails (after it flushed); fault clear: nothing fails. Sector reads and the FAT tools'
// reads go through the media's calls, the search through the surface's opener.
void Fault(Run& r, A a) {
  if (a.size() == 2 && (a[1].text == "clear" || a[1].text == "flush")) {
    r.io.flushError = a[1].text == "flush" ? EIO : 0;
    if (a[1].text == "clear") r.io.ClearFaults(), r.s->BulkOpener().Clear();
    return;
  }
  if (a.size() != 4) throw SyntaxError("fault needs L FIRST LAST, flush or clear");
  if (!r.io.FailReads(r.Drive(a[1]), Count(a[2]), Count(a[3])) ||
      !r.s->BulkOpener().Add(r.Drive(a[1]), Count(a[2]), Count(a[3])))
    throw std::runtime_error("cannot make a fault on " + a[1].text);
}

// Each command: the number of arguments it takes (least, most) and its handler. Each action
// also has a "-disabled" form.
using Handler = void (*)(Run&, A);
const std::map<std::string, std::tuple<std::size_t, std::size_t, Handler>> kCommands = {
    {"image", {3, 99, Image}},
    {"swap", {2, 2, [](Run& r, A a) { fs::rename(r.Drive(a[2]), r.Drive(a[1])); }}},
    {"delete", {1, 1, [](Run& r, A a) { fs::remove(r.Drive(a[1])); }}},
    {"resize", {2, 2, [](Run& r, A a) { fs::resize_file(r.Drive(a[1]), Count(a[2]) * 512); }}},
    {"poke",
     {4, 4, [](Run& r, A a) { PokeBytes(r.Drive(a[1]), Count(a[2]), Count(a[3]), Bytes(a[4])); }}},
    {"answer", {1, 1, QueueButton}},
    {"input", {1, 1, QueueText}},
    {"file", {1, 1, QueueText}},
    {"device", {1, 1, QueueText}},
    {"find", {1, 5, QueueFind}},
    {"fault", {1, 3, Fault}},
    {"delete-journal",
     {0, 0,
      [](Run& r, A) {
        for (const char* end : {"", "-wal", "-shm"})
          fs::remove(r.model().state.journalFile.string() + end);
      }}},
    {"cancel-after",
     {1, 1,
      [](Run& r, A a) {
        r.s->CancelAfter(static_cast<int>(std::min<std::int64_t>(Count(a[1]), 1 << 30)));
      }}},
    // pick N: the Nth item (from 1) of the next list of hits is chosen; pick cancel|esc: none.
    {"pick",
     {1, 1,
      [](Run& r, A a) {
        Answer answer = Queued(Answer::Kind::Pick, a[1]);
        if (!answer.cancel && !answer.escape) {
          if (a[1].quoted || Count(a[1]) < 1) throw SyntaxError("pick needs N, cancel or esc");
          answer.pick = static_cast<std::size_t>(Count(a[1]) - 1);
        }
        r.s->Queue(answer);
      }}},
    // expect hits "ONE\nTWO": the items of the last list of hits, one a line.
    {"expect hits",
     {1, 1,
      [](Run& r, A) {
        std::string all;
        for (const std::string& item : r.s->Hits()) all += (all.empty() ? "" : "\n") + item;
        r.Is("hits " + Quote(all));
      }}},
    {"menu", {1, 1, Act}},
    {"click", {1, 1, Act}},
    {"hover", {1, 1, Act}},
    {"key", {2, 2, Act}},
    {"type", {2, 2, Act}},
    {"keys", {2, 2, Act}},
    {"leave", {1, 1, Act}},
    {"drop", {3, 3, Drop}},
    {"press", {1, 1, Press}},
    // clipboard "text": another program puts the text on the clipboard.
    {"clipboard",
     {1, 1,
      [](Run& r, A a) {
        if (!a[1].quoted) throw SyntaxError("clipboard needs \"text\"");
        r.s->SetClipboard(a[1].text);
      }}},
    {"expect clipboard",
     {1, 1, [](Run& r, A) { r.Is("clipboard " + Quote(r.s->ClipboardText())); }}},
    {"escape",
     {1, 1,
      [](Run& r, A a) {
        if (r.s->WindowOpen(a[1].text) && !r.s->Escape(a[1].text))
          r.Fail(a[1].text + " is not open");
      }}},
    {"expect window",
     {2, 2,
      [](Run& r, A a) {
        if (a[2].text != "open" && a[2].text != "closed")
          throw SyntaxError("expect window needs open or closed");
        if (const std::optional<bool> open = r.s->WindowOpen(a[1].text))
          r.Is("window " + a[1].text + (*open ? " open" : " closed"));
      }}},
    {"expect", {2, 2, ExpectProperty}},
    {"expect box", {1, 5, ExpectBox}},
    {"expect inputbox", {1, 5, ExpectBox}},
    {"expect filebox", {1, 5, ExpectBox}},
    {"expect nobox", {0, 0, ExpectNoBox}},
    {"expect image", {4, 4, ExpectImage}},
    {"expect image-size", {2, 2, ExpectImage}},
    {"expect state", {1, 3, ExpectState}},
    {"expect journal", {1, 1, ExpectJournal}},
    {"expect journal-last", {4, 4, ExpectJournal}},
    {"expect inspector", {1, 1, ExpectInspector}},
    {"expect quit", {0, 0, [](Run& r, A) { r.Is(r.s->QuitAsked() ? "quit" : "no quit"); }}},
    {"history-export",
     {1, 99,
      [](Run& r, A a) {
        std::vector<std::int64_t> ids;
        for (std::size_t i = 1; i < a.size(); ++i) ids.push_back(Count(a[i]));
        ExportRecords(r.model(), ids);
      }}},
    {"choose-run",
     {1, 1,
      [](Run& r, A a) {
        const std::int64_t n = Count(a[1]);
        if (n < 1 || !r.s->ChooseRun(static_cast<std::size_t>(n - 1)))
          r.Fail("run " + a[1].text + " not chosen");
      }}},
    // check N show | check N repair M (findings and repairs from 1) | check repair-all |
    // check again: the buttons of the Check Volume window.
    {"check",
     {1, 3,
      [](Run& r, A a) {
        const bool numbered = a.size() > 2;
        const std::string button = a[numbered ? 2 : 1].text;
        const std::int64_t row = numbered ? Count(a[1]) : 1;
        const std::int64_t option = a.size() > 3 ? Count(a[3]) : 1;
        if (numbered != (button == "show" || button == "repair") ||
            (button == "repair") != (a.size() == 4) || row < 1 || option < 1)
          throw SyntaxError("check needs N show, N repair M, repair-all or again");
        if (!r.s->PressCheck(button, static_cast<std::size_t>(row - 1),
                             static_cast<std::size_t>(option - 1)))
          r.Fail("check " + button + " not pressed");
      }}},
    {"expect findings",
     {1, 1,
      [](Run& r, A) {
        const std::optional<std::string> findings = r.s->Findings();
        r.Is("findings " + (findings ? Quote(*findings) : "none"));
      }}},
    {"preview",
     {1, 1,
      [](Run& r, A a) {
        if (a[1].text != "apply" && a[1].text != "cancel")
          throw SyntaxError("preview needs apply or cancel");
        if (!r.s->AnswerPreview(a[1].text == "apply")) r.Fail("no preview is shown");
      }}},
    {"expect preview",
     {1, 1,
      [](Run& r, A) {
        const std::optional<std::string> preview = r.s->Preview();
        r.Is("preview " + (preview ? Quote(*preview) : "none"));
      }}},
    {"expect report",
     {1, 1,
      [](Run& r, A) {
        const std::optional<std::string> report = r.s->Report();
        r.Is("report " + (report ? Quote(*report) : "none"));
      }}},
    // grab "PATH": a picture of the main window, saved as a PNG (for the documentation).
    {"grab",
     {1, 1,
      [](Run& r, A a) {
        if (!a[1].quoted) throw SyntaxError("grab needs \"PATH\"");
        if (!r.s->Grab(a[1].text)) r.Fail("no picture of the window saved to " + a[1].text);
      }}},
    {"expect pointer",
     {1, 1, [](Run& r, A) { r.Is("pointer " + std::to_string(r.s->Pointer())); }}}};

// Reads the whole file first: after a syntax error nothing of it runs. An error while running
// (a syntax error in an argument, or of the machinery) ends the file.
void RunFile(Run& r) {
  std::ifstream in(r.file);
  if (!in) return void(r.Fail("cannot open"));
  std::vector<std::tuple<int, Args, Handler>> steps;
  for (std::string text; std::getline(in, text);) {
    ++r.line;
    try {
      Args a = Tokenize(text);
      if (a.size() > 1 && kCommands.contains(a[0].text + " " + a[1].text))
        a[1].text.insert(0, a[0].text + " "), a.erase(a.begin());
      if (a.empty()) continue;
      const std::string& name = a[0].text;
      const auto it =
          kCommands.find(name.ends_with("-disabled") ? name.substr(0, name.size() - 9) : name);
      if (it == kCommands.end() || (it->first != name && std::get<2>(it->second) != Act))
        throw SyntaxError("unknown command " + name);
      const auto [least, most, run] = it->second;
      if (a.size() - 1 < least || a.size() - 1 > most)
        throw SyntaxError("wrong number of arguments for " + name);
      steps.emplace_back(r.line, std::move(a), run);
    } catch (const SyntaxError& e) {
      r.Fail(std::string("syntax error: ") + e.what());
    }
  }
  if (r.failed > 0) return;
  for (const auto& [line, a, run] : steps) {
    r.line = line;
    r.step.clear();
    for (const Token& t : a) r.step += " " + (t.quoted ? Quote(t.text) : t.text);
    r.step.erase(0, r.step.starts_with(" expect ") ? 8 : 1);
    try {
      run(r, a);
    } catch (const std::exception& e) {
      return void(r.Fail((dynamic_cast<const SyntaxError*>(&e) ? "syntax error: " : "error: ") +
                         std::string(e.what())));
    }
  }
}

}  // namespace

int RunFiles(const std::vector<std::string>& files, std::ostream& out,
             const SurfaceFactory& surface) {
  int passed = 0, failed = 0;
  for (const std::string& file : files) {
    Run run{surface ? surface() : MakeModelSurface(), file, out};
    run.model().state.io = &run.io;
    RunFile(run);
    passed += run.passed, failed += run.failed;
  }
  out << passed << " passed, " << failed << " failed\n";
  return failed == 0 ? 0 : 1;
}

}  // namespace dulvex::scenario
