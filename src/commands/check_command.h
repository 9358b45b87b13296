// TOOLS > "Check Volume": the check of the chosen volume run as long work, its findings listed
// in a window, each shown on the grid ("Show" chooses the sector and selects the bytes
// concerned), and repairs: each one previewed first (the sectors it writes, each with its
// byte diff), then, on Apply and the usual write confirmation, written as one step of the
// write journal, which Undo Last Write takes back whole. The Qt window only shows this state
// and forwards the user's clicks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "check/checker.h"
#include "check/repair.h"
#include "core/window_model.h"

namespace dulvex {

// The captions of the window's buttons, as the user sees them.
inline constexpr const char* kCheckVolumeTitle = "Check Volume";
inline constexpr const char* kShowCaption = "Show";
inline constexpr const char* kRepairCaption = "Repair…";
inline constexpr const char* kRepairAllCaption = "Repair All…";
inline constexpr const char* kCheckAgainCaption = "Check Again";
inline constexpr const char* kApplyCaption = "Apply";
inline constexpr const char* kCancelCaption = "Cancel";

// One finding as the list shows it.
struct FindingRow {
  std::string severity;              // "error"
  std::string kind;                  // "Chain runs into a free cluster"
  std::string kindName;              // "chain_into_free"
  std::string place;                 // "/A.TXT; cluster 5; sector 1, offset 10"
  std::string text;                  // the plain sentence
  std::vector<std::string> repairs;  // the titles of the repairs it offers, the usual first
};

struct CheckView {
  std::string device;   // "A:"
  std::string summary;  // "3 findings (2 errors, 1 warning)", "The volume is clean."
  std::vector<FindingRow> rows;
};

// A repair shown before it is written.
struct RepairPreview {
  std::string device;
  std::string title;               // "Repair All", or the repair's own title
  std::vector<std::string> steps;  // what it does, one sentence a step
  std::vector<check::SectorWrite> writes;
  std::vector<std::string> left;  // Repair All: what a check would still find after it
  std::uint64_t refreshes = 0, writeAttempts = 0;  // the reading it was planned on
};

// "Sector 33: 4 of 512 bytes change" and, for each 16-byte row that changes, the bytes
// before and after, the changed ones marked.
std::string SectorDiffText(const check::SectorWrite& write);
// The preview's heading: what it does, how many sectors, and what would be left.
std::string PreviewSummary(const RepairPreview& preview);

// Where the findings and the preview are shown: the Qt windows, or nothing in tests.
class CheckVolumeHost {
 public:
  virtual ~CheckVolumeHost() = default;
  virtual void ShowFindings(const CheckView& view) = 0;
  // The preview to show, or nothing: the preview window closes.
  virtual void ShowPreview(const RepairPreview* preview) = 0;
};

struct CheckVolumeState {
  std::optional<check::CheckResult> result;
  std::optional<CheckView> view;
  std::optional<RepairPreview> preview;
  std::string device;
  std::uint64_t refreshes = 0, writeAttempts = 0;  // the reading the result belongs to
  CheckVolumeHost* host = nullptr;
};

CheckVolumeState& CheckVolumeOf(WindowModel& model);

// TOOLS > Check Volume: checks the chosen volume on the worker and lists the findings.
void mnuCheckVolume_Click(WindowModel& model);
// "Show" on finding `row`: chooses its sector and selects the bytes concerned. False when
// there is no such finding or it has no place on the volume (said in a box).
bool ShowFinding(WindowModel& model, std::size_t row);
// Repair `option` of finding `row` (from RepairsFor), planned and shown as a preview.
bool PreviewRepair(WindowModel& model, std::size_t row, std::size_t option);
// "Repair All": the usual repair of every finding, planned on the worker, as a preview.
void PreviewRepairAll(WindowModel& model);
// Apply in the preview: asks as every write does, then writes the preview's sectors as one
// step of the write journal and checks the volume again.
void ApplyPreview(WindowModel& model);
void CancelPreview(WindowModel& model);

// Registers TOOLS > Check Volume (mnuCheckVolume).
void InstallCheckVolume(WindowModel& model);

}  // namespace dulvex
