#include "commands/find_command.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>

#include "base/numbers.h"
#include "buffer/buffer.h"
#include "commands/find_name.h"
#include "core/form1_design.h"
#include "search/scanner.h"
#include "view/sector_view.h"

namespace dulvex::search {

namespace {

using End = ScanOutcome::End;

constexpr const char* kTitle = "Find String";
constexpr std::uint64_t kSector = device::kSectorSize;

struct Session {
  FindAsker* asker = nullptr;
  device::BulkOpener* opener = nullptr;
  FindRequest request;                       // the last request, to fill the dialog in again
  std::shared_ptr<const Pattern> pattern;    // made from it; none when its text was refused
  std::optional<std::uint64_t> lastHit;      // first byte of the last match shown
  std::string hitDevice;                     // the device it was found on
  Direction direction = Direction::Forward;  // of the search running or last run
};
using SessionPtr = std::shared_ptr<Session>;

// The bytes a search may look at, and how messages name them.
struct Range {
  std::uint64_t lo = 0, hi = 0;
  const char* name = "the medium";
};

// One scan: matches lying wholly in [lo, hi), the first or the last of them.
struct Pass {
  std::uint64_t lo = 0, hi = 0;
  Direction direction = Direction::Forward;
};

Direction DirectionOf(const FindRequest& r) {
  return r.from == FindFrom::Backward ? Direction::Backward : Direction::Forward;
}

Direction Reversed(Direction d) {
  return d == Direction::Forward ? Direction::Backward : Direction::Forward;
}

// Matches beginning before byte `from` (none when from is 0).
Pass Before(const Range& r, std::uint64_t from, std::size_t size, Direction d) {
  return {r.lo, from == 0 ? 0 : std::min(r.hi, from - 1 + size), d};
}
Pass From(const Range& r, std::uint64_t from, Direction d) {
  return {std::max(r.lo, from), r.hi, d};
}

std::string Quoted(const FindRequest& r) {
  return "\"" + r.text + "\"";
}

std::string Decimal(std::uint64_t v) {
  return std::to_string(v);
}

// A message for the status line: its line breaks as spaces.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n') c = ' ';
  return text;
}

std::string HexText(std::uint64_t v) {
  char hex[24];
  std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(v));
  return hex;
}

std::string SkippedNote(const ScanOutcome& o) {
  if (o.skippedSectors == 0) return "";
  return "\n" + Decimal(o.skippedSectors) +
         (o.skippedSectors == 1 ? " unreadable sector was" : " unreadable sectors were") +
         " skipped; the first is sector " + Decimal(o.firstSkipped) + ".";
}

// The first byte of the sector the grid shows (0 before any sector was read).
std::uint64_t ShownStart(WindowModel& model) {
  const auto& shown = model.state.lastShown;
  if (!shown || shown->device != model.state.DevicePath || shown->sector < 0) return 0;
  return static_cast<std::uint64_t>(shown->sector) * kSector;
}

// The whole medium, or the data region the volume's boot sector describes (cut at the end
// of the medium). Nothing when the data region is not known.
std::optional<Range> RangeOf(WindowModel& model, const FindRequest& r, std::uint64_t size) {
  if (!r.dataRegionOnly) return Range{0, size};
  const VolumeGeometry& g = model.state.geometry;
  if (g.FatType == 0 || g.FirstDataSector <= 0 || g.TotSec <= g.FirstDataSector) {
    model.prompter().MessageBox(
        "The data region is not known: sector 0 does not describe a FAT volume.", kStyleExclamation,
        kTitle);
    return std::nullopt;
  }
  const auto lo = static_cast<std::uint64_t>(g.FirstDataSector) * kSector;
  const auto hi = std::min(size, static_cast<std::uint64_t>(g.TotSec) * kSector);
  return Range{lo, std::max(lo, hi), "the data region"};
}

// Whether a pass from `from` leaves part of the range for a second pass round the other side.
bool RoundLeft(const Range& range, std::uint64_t from, bool forward) {
  return forward ? from > range.lo : from < range.hi;
}

// Shows the sector holding the match, marks its bytes there as selected and says where it is.
void ShowHit(WindowModel& model, std::uint64_t offset, std::size_t size, const std::string& note) {
  const std::uint64_t sector = offset / kSector;
  const auto first = static_cast<std::size_t>(offset % kSector);
  std::string text = "Found at byte " + Decimal(offset) + " (0x" + HexText(offset) +
                     ") of the medium: sector " + Decimal(sector) + ", offset " + Decimal(first) +
                     ".";
  if (first + size > kSector)
    text += " " + Decimal(first + size - kSector) + " of its " + Decimal(size) +
            " bytes lie in the next sector.";
  if (sector <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    model.SetText(model.At(kSectorBox), CanonicalText(static_cast<double>(sector)));
    ShowSector(model);
    const auto& shown = model.state.lastShown;
    if (shown && shown->sector == static_cast<std::int32_t>(sector) &&
        shown->device == model.state.DevicePath) {
      ResetSelection(model);
      // The cell cursor at the hit's first byte, so Shift and the arrows go on from there.
      model.state.cursor = static_cast<int>(first);
      model.state.cursorAnchor = -1;
      model.state.cursorLeads = true;
      for (std::size_t i = first; i < std::min(first + size, std::size_t{512}); ++i) {
        model.Label3[i]->back = HexMarkedColour;
        model.Label55[i]->back = TextMarkedColour;
      }
    }
  } else {
    ResetSelection(model);  // the marks of an earlier hit belong to another place
    text += " The grid shows sectors up to 2147483647 only.";
  }
  // Said in the status line: a box over the grid would hide the hit and need a key for each.
  model.state.lastResult = OneLine(text + note);
}

void Search(WindowModel& model, const SessionPtr& s, std::uint64_t from, bool round,
            const ScanOutcome& before = {});

// The skipped sectors of both passes of a search that went round.
ScanOutcome Together(ScanOutcome o, const ScanOutcome& before) {
  if (before.skippedSectors > 0 && (o.skippedSectors == 0 || before.firstSkipped < o.firstSkipped))
    o.firstSkipped = before.firstSkipped;
  o.skippedSectors += before.skippedSectors;
  return o;
}

// Takes the scan's outcome on the interface thread. `from` is where the first pass began,
// `round` says this is the second.
void Conclude(WindowModel& model, const SessionPtr& s, const ScanOutcome& o, const Range& range,
              std::uint64_t from, bool round) {
  const FindRequest& r = s->request;
  const bool forward = s->direction == Direction::Forward;
  switch (o.end) {
    case End::Cancelled:
      model.state.lastResult =
          "Search for " + Quoted(r) + " cancelled at byte " + Decimal(o.stoppedAt) + " (0x" +
          HexText(o.stoppedAt) + "): " +
          (forward ? "the bytes before it were searched." : "the bytes from it on were searched.");
      return;
    case End::Vanished:
      model.prompter().MessageBox("The medium stopped answering at byte " + Decimal(o.stoppedAt) +
                                      " (" + o.error.Describe() + "); the search ended." +
                                      SkippedNote(o),
                                  kStyleExclamation, kTitle);
      return;
    case End::Found:
      s->lastHit = o.offset;
      s->hitDevice = model.state.DevicePath;
      ShowHit(model, o.offset, s->pattern->size(), SkippedNote(o));
      return;
    case End::NotFound:
      break;
  }
  // Going round makes sense when this pass left part of the range unsearched: it does after
  // any hit, whatever the first search began from.
  if (round || !RoundLeft(range, from, forward)) {
    model.state.lastResult =
        OneLine(Quoted(r) + " not found in " + range.name + "." + SkippedNote(o));
    return;
  }
  // A forward pass took the matches beginning at `from` and later: those after byte from - 1.
  const std::string found = Quoted(r) + " not found " + (forward ? "after" : "before") + " byte " +
                            Decimal(forward ? from - 1 : from) + " of " + range.name + "." +
                            SkippedNote(o);
  if (model.prompter().MessageBox(found + "\nGo on from the " + (forward ? "start?" : "end?"),
                                  kStyleYesNo, kTitle) == kAnswerYes)
    Search(model, s, from, true, o);
  else
    model.state.lastResult = OneLine(found);
}

// Searches from byte `from` in the request's direction; `round` searches the part of the
// range on the other side of `from` instead, `before` being what the first pass found. A
// first pass with nothing to search (backward from the range's start, forward from its end)
// searches the whole range at once.
void Search(WindowModel& model, const SessionPtr& s, std::uint64_t from, bool round,
            const ScanOutcome& before) {
  Status opened;
  std::shared_ptr<device::BulkReader> reader =
      s->opener->Open(device::DriveFile(model.state.drivesDir, model.state.DevicePath), &opened);
  if (!reader) {
    model.prompter().MessageBox(
        "Cannot search " + model.state.DevicePath + ": " + opened.Describe() + ".", kStyleCritical,
        kTitle);
    return;
  }
  const std::optional<Range> range = RangeOf(model, s->request, reader->size());
  if (!range) return;
  const Direction d = s->direction;
  const bool forward = d == Direction::Forward;
  const std::size_t size = s->pattern->size();
  from = std::clamp(from, range->lo, range->hi);
  if (!round && (forward ? from + size > range->hi : from == range->lo))
    from = forward ? range->lo : range->hi;
  const bool backPass = !forward != round;
  const Pass pass = backPass ? Before(*range, from, size, d) : From(*range, from, d);
  // The sectors the first pass read are not counted again.
  SectorSpan counted;
  if (round && forward) counted.end = from / kSector;
  if (round && !forward) counted.first = (Before(*range, from, size, d).hi + kSector - 1) / kSector;
  auto outcome = std::make_shared<ScanOutcome>();
  std::shared_ptr<const Pattern> pattern = s->pattern;
  model.runner().Run(
      kTitle, WorkUnit::Bytes,
      [reader, pattern, pass, outcome, counted](WorkProgress& progress) {
        *outcome = Scan(*reader, *pattern, pass.lo, pass.hi, pass.direction, progress, 0, counted);
      },
      [&model, s, outcome, range, from, round, before](const WorkResult& end) {
        if (end.outcome == WorkOutcome::Failed)
          model.prompter().MessageBox("The search failed: " + end.problem + ".", kStyleCritical,
                                      kTitle);
        else
          Conclude(model, s, Together(*outcome, before), *range, from, round);
      });
}

// A new search from the shown sector, as the request says; `reverse` searches the other way
// from where it says.
void SearchFromShown(WindowModel& model, const SessionPtr& s, bool reverse = false) {
  const std::uint64_t shown = ShownStart(model);
  s->direction = reverse ? Reversed(DirectionOf(s->request)) : DirectionOf(s->request);
  if (reverse) {
    return s->direction == Direction::Forward ? Search(model, s, shown + 1, false)
                                              : Search(model, s, shown, false);
  }
  switch (s->request.from) {
    case FindFrom::AfterShown:
      return Search(model, s, shown + 1, false);
    case FindFrom::Backward:
      return Search(model, s, shown, false);
    case FindFrom::SectorZero:
      return Search(model, s, 0, false);
  }
}

void FindString(WindowModel& model, const SessionPtr& s) {
  if (s->asker == nullptr) return;
  std::optional<FindRequest> asked = s->asker->Ask(s->request);
  if (!asked) return;
  s->request = *asked;
  if (asked->kind == FindKind::Name) {
    s->pattern.reset();
    s->lastHit.reset();
    return FindName(model, *s->asker, asked->text);
  }
  CompiledPattern compiled = CompilePattern(asked->text, asked->kind, asked->ignoreCase);
  s->pattern.reset();
  s->lastHit.reset();
  if (!compiled.pattern) {
    model.prompter().MessageBox(compiled.error, kStyleExclamation, kTitle);
    return;
  }
  s->pattern = std::make_shared<const Pattern>(std::move(*compiled.pattern));
  SearchFromShown(model, s);
}

// F3: on from the last hit, in the same direction; Shift+F3 (`reverse`) the other way. A first
// F3 asks what to find.
void FindNext(WindowModel& model, const SessionPtr& s, bool reverse) {
  if (!s->pattern) return FindString(model, s);
  if (!s->lastHit || s->hitDevice != model.state.DevicePath)
    return SearchFromShown(model, s, reverse);
  s->direction = reverse ? Reversed(DirectionOf(s->request)) : DirectionOf(s->request);
  const bool forward = s->direction == Direction::Forward;
  Search(model, s, forward ? *s->lastHit + 1 : *s->lastHit, false);
}

}  // namespace

void InstallSearch(WindowModel& model, FindAsker* asker, device::BulkOpener* opener) {
  auto session = std::make_shared<Session>();
  session->asker = asker;
  session->opener = opener != nullptr ? opener : &device::DefaultOpener();
  model.OnClick(kFindString, [&model, session](int) { FindString(model, session); });
  model.OnClick(kFindNext, [&model, session](int) { FindNext(model, session, false); });
  model.OnClick(kFindPrevious, [&model, session](int) { FindNext(model, session, true); });
}

}  // namespace dulvex::search
