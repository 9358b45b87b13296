// Repairs of what Check Volume finds, planned as data: each plan is the list of sectors it
// would write, every one with its bytes before (as read from the medium) and after. Nothing
// here writes to a medium; the plan is shown first, then written through the program's one
// write path as a single step, and undone by writing the bytes before back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/progress.h"
#include "check/checker.h"
#include "check/volume_edit.h"

namespace dulvex::check {

enum class Repair : std::uint8_t {
  RestoreBootFromBackup,  // the backup boot sector written over sector 0
  CopyBootToBackup,       // sector 0 written over the backup boot sector
  CreateBackupBoot,       // sector 6 named as the backup, and sector 0 copied there
  SetBootSignature,       // 55 AA at the end of sector 0
  RoundRootEntries,       // BPB_RootEntCnt up to a multiple of 16 (the same root sectors)
  CreateFsInfo,           // an FSInfo sector in sector 1, named by BPB_FSInfo
  RewriteFsInfo,          // FSInfo's signatures, free count and next-free hint made right
  ClearDirtyFlags,        // the dirty bit of the boot sector, FAT[1]'s flags set clean
  FixReservedEntries,     // FAT[0] = the media byte and ones, FAT[1] = end of chain
  CopyFat,                // one FAT copy written over another
  EndChain,               // an end-of-chain mark where the chain breaks or loops
  TruncateAtCrossLink,    // the second chain ended before the clusters it shares
  CopySharedClusters,     // the second chain given copies of the clusters it shares
  SizeToChain,            // the size set to what the chain holds (0 for a directory)
  ChainToSize,            // the chain ended where the size ends; the clusters after freed
  ClearFirstCluster,      // an entry with a first cluster out of range made empty
  RemoveEntry,            // an entry (and its long-name pieces) marked deleted
  FreeLostChain,          // the clusters of a lost chain marked free
  SaveLostChain,          // a lost chain saved as /FOUND.000/FILE0000.CHK
  SaveAllLostChains,      // every lost chain saved so (FreeAllLostChains: freed)
  FreeAllLostChains,
  RenameEntry,      // a short name of allowed characters, unique in its directory
  RemoveLfnPieces,  // long-name pieces marked deleted
  AttachLfnPieces,  // long-name pieces given the checksum of the short entry after them
  ClearLfnFields,   // the type and cluster fields of a long-name piece set to 0
  FixDotEntry,      // "." or ".." written anew, naming the right cluster
  FixAttributes,    // a directory or a file kept, the impossible bits cleared
};

// One repair a finding offers.
struct RepairOption {
  Repair repair = Repair::EndChain;
  std::string title;   // "End the chain of /A.BIN at cluster 3"
  bool usual = false;  // what Repair All does for this finding
  unsigned from = 0;   // CopyFat: the copy written over the other
  unsigned to = 0;     // CopyFat: the copy overwritten
};

struct RepairPlan {
  std::string title;
  std::vector<std::string> steps;   // what the plan does, one plain sentence a step
  std::vector<SectorWrite> writes;  // ascending sector numbers; each changes its sector
  std::string error;                // why the plan cannot be made; nothing to write then
  // Repair All: what a check of the volume as the plan leaves it still finds.
  std::vector<Finding> left;
  bool ok() const { return error.empty(); }
};

// The repairs that fit `finding` of `result`; the usual one first.
std::vector<RepairOption> RepairsFor(const CheckResult& result, const Finding& finding);

// One repair of one finding, planned against `medium` (the medium `result` was read from).
RepairPlan PlanRepair(fat::ByteSource& medium, const CheckResult& result, const Finding& finding,
                      const RepairOption& option);

// Repair All: the usual repair of every finding, as one plan. It repairs in rounds, checking
// the volume as the plan so far leaves it before each round, so that a repair that brings
// other faults to light (a loop broken, a directory made readable) has them repaired too.
// Progress is in thousandths, as the check's; a cancel gives a plan with the error
// "cancelled" and nothing to write.
RepairPlan PlanRepairAll(fat::ByteSource& medium, WorkProgress* progress = nullptr);

std::string_view RepairName(Repair repair);  // "end_chain", for scripts and tests

}  // namespace dulvex::check
