#include "commands/find_command.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>

#include "base/numbers.h"
#include "buffer/buffer.h"
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
  FindRequest request;                     // the last request, to fill the dialog in again
  std::shared_ptr<const Pattern> pattern;  // made from it; none when its text was refused
  std::optional<std::uint64_t> lastHit;    // first byte of the last match shown
  std::string hitDevice;                   // the device it was found on
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

// Shows the sector holding the match, marks its bytes there as selected and says where it is.
void ShowHit(WindowModel& model, std::uint64_t offset, std::size_t size, const std::string& note) {
  const std::uint64_t sector = offset / kSector;
  const auto first = static_cast<std::size_t>(offset % kSector);
  char hex[24];
  std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(offset));
  std::string text = "Found at byte " + Decimal(offset) + " (0x" + hex +
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
      for (std::size_t i = first; i < std::min(first + size, std::size_t{512}); ++i) {
        model.Label3[i]->back = HexMarkedColour;
        model.Label55[i]->back = TextMarkedColour;
      }
    }
  } else {
    text += " The grid shows sectors up to 2147483647 only.";
  }
  model.prompter().MessageBox(text + note, kStyleOk, kTitle);
}

void Search(WindowModel& model, const SessionPtr& s, std::uint64_t from, bool round);

// Takes the scan's outcome on the interface thread.
void Conclude(WindowModel& model, const SessionPtr& s, const ScanOutcome& o, const Range& range,
              std::uint64_t from, bool round) {
  const FindRequest& r = s->request;
  const bool forward = DirectionOf(r) == Direction::Forward;
  switch (o.end) {
    case End::Cancelled:
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
  // Going round makes sense when this pass left part of the range unsearched.
  const bool roundLeft = forward ? from > range.lo : from < range.hi;
  if (round || r.from == FindFrom::SectorZero || !roundLeft) {
    model.prompter().MessageBox(Quoted(r) + " not found in " + range.name + "." + SkippedNote(o),
                                kStyleOk, kTitle);
    return;
  }
  const std::string ask = Quoted(r) + " not found " + (forward ? "after" : "before") + " byte " +
                          Decimal(from) + " of " + range.name + "." + SkippedNote(o) +
                          "\nGo on from the " + (forward ? "start?" : "end?");
  if (model.prompter().MessageBox(ask, kStyleYesNo, kTitle) == kAnswerYes)
    Search(model, s, from, true);
}

// Searches from byte `from` in the request's direction; `round` searches the part of the
// range on the other side of `from` instead.
void Search(WindowModel& model, const SessionPtr& s, std::uint64_t from, bool round) {
  auto reader = std::make_shared<device::MediumReader>();
  const device::IoResult opened =
      reader->Open(device::DriveFile(model.state.drivesDir, model.state.DevicePath));
  if (!opened.ok()) {
    model.prompter().MessageBox(
        "Cannot search " + model.state.DevicePath + ": " + opened.Describe() + ".", kStyleCritical,
        kTitle);
    return;
  }
  const std::optional<Range> range = RangeOf(model, s->request, reader->size());
  if (!range) return;
  from = std::clamp(from, range->lo, range->hi);
  const Direction d = DirectionOf(s->request);
  const std::size_t size = s->pattern->size();
  const bool before = (d == Direction::Backward) != round;
  const Pass pass = before ? Before(*range, from, size, d) : From(*range, from, d);
  auto outcome = std::make_shared<ScanOutcome>();
  std::shared_ptr<const Pattern> pattern = s->pattern;
  model.runner().Run(
      kTitle, WorkUnit::Bytes,
      [reader, pattern, pass, outcome](WorkProgress& progress) {
        *outcome = Scan(*reader, *pattern, pass.lo, pass.hi, pass.direction, progress);
      },
      [&model, s, outcome, range, from, round](const WorkResult& end) {
        if (end.outcome == WorkOutcome::Failed)
          model.prompter().MessageBox("The search failed: " + end.problem + ".", kStyleCritical,
                                      kTitle);
        else
          Conclude(model, s, *outcome, *range, from, round);
      });
}

// A new search from the shown sector, as the request says.
void SearchFromShown(WindowModel& model, const SessionPtr& s) {
  const std::uint64_t shown = ShownStart(model);
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

// F3: on from the last hit, in the same direction; a first F3 asks what to find.
void FindNext(WindowModel& model, const SessionPtr& s) {
  if (!s->pattern) return FindString(model, s);
  if (!s->lastHit || s->hitDevice != model.state.DevicePath) return SearchFromShown(model, s);
  const bool forward = DirectionOf(s->request) == Direction::Forward;
  Search(model, s, forward ? *s->lastHit + 1 : *s->lastHit, false);
}

}  // namespace

std::optional<FindRequest> ScriptedFindAsker::Ask(const FindRequest&) {
  if (answers.empty()) return std::nullopt;
  std::optional<FindRequest> answer = answers.front();
  answers.pop_front();
  return answer;
}

void InstallSearch(WindowModel& model, FindAsker* asker) {
  auto session = std::make_shared<Session>();
  session->asker = asker;
  model.OnClick(kFindString, [&model, session](int) { FindString(model, session); });
  model.OnClick(kFindNext, [&model, session](int) { FindNext(model, session); });
}

}  // namespace dulvex::search
