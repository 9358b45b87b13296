#include "commands/check_command.h"

#include <cstdio>
#include <memory>

#include "base/numbers.h"
#include "buffer/buffer.h"
#include "core/form1_design.h"
#include "device/sector_device.h"
#include "fat/byte_source.h"
#include "sectorio/sector_io.h"
#include "view/sector_view.h"
#include "volume/volume_menu.h"

namespace dulvex {

namespace {

void Tell(WindowModel& model, const std::string& text, int style = kStyleExclamation) {
  model.prompter().MessageBox(text, style, AppTitle());
}

std::string Plural(std::size_t n, const std::string& one, const std::string& many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string PlaceText(const check::Finding& f) {
  std::string place = f.path;
  const auto add = [&](const std::string& part) { place += (place.empty() ? "" : "; ") + part; };
  if (f.cluster != 0) add("cluster " + std::to_string(f.cluster));
  if (f.at.valid())
    add("sector " + std::to_string(f.at.sector) + ", offset " + std::to_string(f.at.offset));
  return place.empty() ? "the whole volume" : place;
}

CheckView ViewOf(const std::string& device, const check::CheckResult& r) {
  CheckView view;
  view.device = device;
  std::size_t counts[3] = {};
  for (const check::Finding& f : r.findings) {
    FindingRow row{std::string(check::SeverityName(f.severity)),
                   std::string(check::KindTitle(f.kind)),
                   std::string(check::KindName(f.kind)),
                   PlaceText(f),
                   f.text,
                   {}};
    for (const check::RepairOption& o : check::RepairsFor(r, f)) row.repairs.push_back(o.title);
    ++counts[static_cast<int>(f.severity)];
    view.rows.push_back(std::move(row));
  }
  if (r.Clean()) {
    view.summary = "The volume on " + device + " is clean: Check Volume found nothing wrong";
  } else {
    view.summary = Plural(r.findings.size(), "finding", "findings") + " on " + device + " (" +
                   Plural(counts[2], "error", "errors") + ", " +
                   Plural(counts[1], "warning", "warnings") + ", " + std::to_string(counts[0]) +
                   " of note)";
    if (r.Total() > r.findings.size())
      view.summary += "; " + std::to_string(r.Total() - r.findings.size()) + " more not listed";
    if (!r.complete)
      view.summary += r.cancelled ? "; the check was cancelled, so the list is not whole"
                                  : "; the check could not go through the whole volume";
  }
  view.summary += ".";
  return view;
}

// The check is of the reading of the volume still shown: no refresh and no write since.
bool Current(WindowModel& model) {
  const CheckVolumeState& s = CheckVolumeOf(model);
  return s.result && s.device == model.state.DevicePath && s.refreshes == model.state.refreshes &&
         s.writeAttempts == model.state.writeAttempts;
}

bool RequireCurrent(WindowModel& model) {
  if (Current(model)) return true;
  Tell(model,
       "The volume was read again or written since it was checked: the findings may no longer "
       "hold. Press \"" +
           std::string(kCheckAgainCaption) + "\" first.");
  return false;
}

// Opens the chosen volume for reading; says why not in a box.
Status OpenMedium(WindowModel& model, const std::string& device, fat::MediumSource& medium) {
  Status open = medium.Open(device::DriveFile(model.state.drivesDir, device));
  if (!open.ok())
    Tell(model, std::string(kCheckVolumeTitle) + ": " + device +
                    " cannot be read: " + open.Describe() + ".");
  return open;
}

void ShowPreview(WindowModel& model, const check::RepairPlan& plan) {
  CheckVolumeState& s = CheckVolumeOf(model);
  if (!plan.ok())
    return Tell(model, plan.title + ": the repair cannot be made: " + plan.error + ".");
  if (plan.writes.empty())
    return Tell(model,
                plan.title +
                    ": nothing to write; the volume already holds what the repair "
                    "would write.",
                kStyleOk);
  RepairPreview p;
  p.device = s.device;
  p.title = plan.title;
  p.steps = plan.steps;
  p.writes = plan.writes;
  for (const check::Finding& f : plan.left) p.left.push_back(f.text);
  p.refreshes = s.refreshes;
  p.writeAttempts = s.writeAttempts;
  s.preview = std::move(p);
  if (s.host != nullptr) s.host->ShowPreview(&*s.preview);
}

void RunCheck(WindowModel& model) {
  const std::string device = model.state.DevicePath;
  fat::MediumSource medium;
  if (!OpenMedium(model, device, medium).ok()) return;
  std::optional<check::CheckResult> result;
  WorkResult ended;
  const OemCodePage page = model.state.codePage;
  model.runner().Run(
      kCheckVolumeTitle, WorkUnit::Thousandths,
      [&](WorkProgress& progress) { result = check::CheckVolume(medium, &progress, page); },
      [&](const WorkResult& w) { ended = w; });
  if (ended.outcome == WorkOutcome::Failed)
    return Tell(model, std::string(kCheckVolumeTitle) + " failed: " + ended.problem + ".");
  if (!result) return;
  CheckVolumeState& s = CheckVolumeOf(model);
  s.preview.reset();
  if (s.host != nullptr) s.host->ShowPreview(nullptr);
  s.device = device;
  s.refreshes = model.state.refreshes;
  s.writeAttempts = model.state.writeAttempts;
  s.view = ViewOf(device, *result);
  s.result = std::move(result);
  if (s.host != nullptr) s.host->ShowFindings(*s.view);
}

// 16 bytes in hex, the changed ones (against `other`) in brackets.
std::string HexRow(const SectorBytes& bytes, const SectorBytes& other, std::size_t at) {
  std::string row;
  char cell[8];
  for (std::size_t i = at; i < at + 16; ++i) {
    const bool changed = bytes[i] != other[i];
    std::snprintf(cell, sizeof cell, changed ? "[%02X]" : " %02X ", bytes[i]);
    row += cell;
  }
  return row;
}

}  // namespace

std::string SectorDiffText(const check::SectorWrite& w) {
  std::size_t changed = 0;
  for (std::size_t i = 0; i < w.before.size(); ++i) changed += w.before[i] != w.after[i];
  std::string text = "Sector " + std::to_string(w.sector) + ": " + std::to_string(changed) +
                     " of 512 bytes change";
  char offset[24];
  for (std::size_t at = 0; at < w.before.size(); at += 16) {
    bool differs = false;
    for (std::size_t i = at; i < at + 16; ++i) differs = differs || w.before[i] != w.after[i];
    if (!differs) continue;
    std::snprintf(offset, sizeof offset, "%03zX", at);
    text += std::string("\n") + offset + " before " + HexRow(w.before, w.after, at);
    text += "\n    after  " + HexRow(w.after, w.before, at);
  }
  return text;
}

std::string PreviewSummary(const RepairPreview& p) {
  std::string text = p.title + " on " + p.device + " writes " +
                     Plural(p.writes.size(), "sector", "sectors") +
                     " as one step (Undo Last Write takes it back whole):";
  for (const std::string& step : p.steps) text += "\n- " + step;
  if (!p.left.empty())
    text += "\nA check after it would still find " + Plural(p.left.size(), "fault", "faults") +
            ", the first: " + p.left.front();
  return text;
}

CheckVolumeState& CheckVolumeOf(WindowModel& model) {
  if (!model.state.checkVolume) model.state.checkVolume = std::make_shared<CheckVolumeState>();
  return *model.state.checkVolume;
}

void mnuCheckVolume_Click(WindowModel& model) {
  if (model.state.DevicePath.empty())
    return Tell(model, std::string(kCheckVolumeTitle) +
                           ": no volume is chosen. Choose one in the Volume menu first.");
  RunCheck(model);
}

bool ShowFinding(WindowModel& model, std::size_t row) {
  CheckVolumeState& s = CheckVolumeOf(model);
  if (!s.result || row >= s.result->findings.size() || !RequireCurrent(model)) return false;
  const check::Finding& f = s.result->findings[row];
  if (!f.at.valid() || f.at.sector > INT32_MAX) {
    Tell(model,
         std::string(kShowCaption) +
             ": this finding concerns the volume as a whole, not "
             "bytes of one sector.",
         kStyleOk);
    return false;
  }
  model.SetText(model.At(kSectorBox), std::to_string(f.at.sector));
  ShowSector(model);
  const auto& shown = model.state.lastShown;
  if (!shown || shown->sector != f.at.sector || shown->device != model.state.DevicePath)
    return false;  // the read failed and has said why
  ResetSelection(model);
  const std::size_t first = std::min<std::size_t>(f.at.offset, 511);
  const std::size_t end = std::min<std::size_t>(first + std::max<std::uint32_t>(f.length, 1), 512);
  for (std::size_t i = first; i < end; ++i) {
    model.Label3[i]->back = HexMarkedColour;
    model.Label55[i]->back = TextMarkedColour;
  }
  return true;
}

bool PreviewRepair(WindowModel& model, std::size_t row, std::size_t option) {
  CheckVolumeState& s = CheckVolumeOf(model);
  if (!s.result || row >= s.result->findings.size() || !RequireCurrent(model)) return false;
  const check::Finding& f = s.result->findings[row];
  const std::vector<check::RepairOption> options = check::RepairsFor(*s.result, f);
  if (option >= options.size()) return false;
  fat::MediumSource medium;
  if (!OpenMedium(model, s.device, medium).ok()) return false;
  ShowPreview(model, check::PlanRepair(medium, *s.result, f, options[option]));
  return true;
}

void PreviewRepairAll(WindowModel& model) {
  CheckVolumeState& s = CheckVolumeOf(model);
  if (!s.result || !RequireCurrent(model)) return;
  fat::MediumSource medium;
  if (!OpenMedium(model, s.device, medium).ok()) return;
  std::optional<check::RepairPlan> plan;
  WorkResult ended;
  model.runner().Run(
      kRepairAllCaption, WorkUnit::Thousandths,
      [&](WorkProgress& progress) { plan = check::PlanRepairAll(medium, &progress); },
      [&](const WorkResult& w) { ended = w; });
  if (ended.outcome == WorkOutcome::Failed)
    return Tell(model, "Repair All failed: " + ended.problem + ".");
  if (ended.outcome == WorkOutcome::Cancelled || !plan || plan->error == "cancelled") return;
  ShowPreview(model, *plan);
}

void ApplyPreview(WindowModel& model) {
  CheckVolumeState& s = CheckVolumeOf(model);
  if (!s.preview) return;
  const RepairPreview p = *s.preview;
  if (p.device != model.state.DevicePath || p.refreshes != model.state.refreshes ||
      p.writeAttempts != model.state.writeAttempts) {
    CancelPreview(model);
    return Tell(model, p.title +
                           ": the volume was read again or written since the repair was "
                           "planned. Nothing was written; check the volume again.");
  }
  std::vector<std::int64_t> sectors;
  std::vector<SectorChange> changes;
  for (const check::SectorWrite& w : p.writes) {
    sectors.push_back(w.sector);
    changes.push_back({w.sector, w.before, w.after, 0});
  }
  std::string lead = p.title;
  for (char& c : lead) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (!ConfirmGroupWrite(
          model, sectors,
          lead + " (" + Plural(sectors.size(), "SECTOR", "SECTORS") + " ON " + p.device + "): "))
    return;
  CancelPreview(model);
  WriteSectorGroup(model, p.device, p.title, changes);
  // The boot sector, the grid and the findings, as the volume is now.
  const std::string shown = model.At(kSectorBox).caption;
  mnuA_Click(model, p.device[0] - 'A');
  if (!model.At(kSectorBox).enabled) return;  // the refresh failed and has said why
  model.SetText(model.At(kSectorBox), shown);
  ShowSector(model);
  RunCheck(model);
}

void CancelPreview(WindowModel& model) {
  CheckVolumeState& s = CheckVolumeOf(model);
  s.preview.reset();
  if (s.host != nullptr) s.host->ShowPreview(nullptr);
}

void InstallCheckVolume(WindowModel& model) {
  CheckVolumeOf(model);
  model.OnClick(kCheckVolume, [&model](int) { mnuCheckVolume_Click(model); });
}

}  // namespace dulvex
