// libFuzzer: -max_len=20480 -dict=fat.dict
// Check Volume and Repair All on whole crafted volumes (the input is the image). The check
// must end whole on any bytes, keep its bounds, and the plans it makes must be sound: every
// sector a plan writes changes, its bytes before are the medium's, and the volume as Repair
// All leaves it checks to what the plan says is left.
#include "check/checker.h"
#include "check/repair.h"
#include "fuzz_input.h"

using dulvex::fuzz::Check;
namespace check = dulvex::check;

namespace {

void Sound(dulvex::fat::ByteSource& medium, const check::RepairPlan& plan) {
  for (std::size_t i = 0; i < plan.writes.size(); ++i) {
    const check::SectorWrite& w = plan.writes[i];
    Check(w.before != w.after && (i == 0 || plan.writes[i - 1].sector < w.sector));
    dulvex::SectorBytes now{};
    Check(!dulvex::fat::ReadSectors(medium, w.sector, now) && now == w.before);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dulvex::fat::MemorySource medium(std::span(data, size));
  const check::CheckResult r = check::CheckVolume(medium);
  // The owner map takes 8 bytes a cluster: volumes up to the smallest FAT32 keep runs fast.
  if (!r.layout || r.layout->MaxCluster() > 70000) return 0;
  std::size_t kept[check::kFindingKinds] = {};
  for (const check::Finding& f : r.findings) {
    Check(++kept[static_cast<int>(f.kind)] <= check::CheckResult::kMaxPerKind);
    Check(!f.text.empty() && f.at.offset < 512 + 512);
  }
  if (!r.complete) return 0;
  for (const check::Finding& f : r.findings) {
    for (const check::RepairOption& o : check::RepairsFor(r, f)) {
      const check::RepairPlan plan = check::PlanRepair(medium, r, f, o);
      Check(plan.ok() || plan.writes.empty());
      Sound(medium, plan);
    }
  }
  const check::RepairPlan all = check::PlanRepairAll(medium);
  Check(all.ok());
  Sound(medium, all);
  check::EditedVolume after(medium);
  for (const check::SectorWrite& w : all.writes) Check(after.Write(w.sector, w.after));
  Check(check::CheckVolume(after).findings.size() == all.left.size());
  return 0;
}
