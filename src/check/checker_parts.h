// The checker's steps, shared by checker.cpp (boot sector, FSInfo, FATs), chains.cpp (chains,
// owners, lost clusters) and directories.cpp (the entries of every directory).
#pragma once

#include <string>

#include "check/checker.h"

namespace dulvex::check {

// "5", "FF3": a value in upper-case hex.
std::string Hex(std::uint64_t v);
// "1 cluster", "12 clusters".
std::string Count(std::uint64_t n, const char* one, const char* many);

// Where entry n of FAT copy `copy` begins.
Place FatEntryPlace(const fat::Layout& l, unsigned copy, std::uint32_t n);

// Where the short entry of `node` lies; none for the root.
Place PlaceOfNode(const fat::Tree& tree, std::uint32_t node);

// Maps the progress of each step into one scale of thousandths of the whole check.
class StepProgress : public WorkProgress {
 public:
  explicit StepProgress(WorkProgress* outer) : outer_(outer) {}
  void Step(std::uint64_t from, std::uint64_t to) {
    from_ = from, to_ = to;
    Report(0, 1);
  }
  void Report(std::uint64_t done, std::uint64_t total) override;
  bool Cancelled() const override { return outer_ != nullptr && outer_->Cancelled(); }
  WorkProgress* self() { return outer_ != nullptr ? this : nullptr; }

 private:
  WorkProgress* outer_;
  std::uint64_t from_ = 0, to_ = 0;
};

class Checker {
 public:
  Checker(fat::ByteSource& medium, WorkProgress* progress, OemCodePage page)
      : medium_(medium), steps_(progress), page_(page) {}
  CheckResult Run();

 private:
  void Add(Finding f);
  bool Stopped();
  // Reads one sector; a failure becomes a ReadError finding naming `what`.
  bool ReadSector(std::int64_t sector, SectorBytes& out, const std::string& what);
  // The path of a node of the tree.
  std::string Path(std::uint32_t node) { return names_->Path(node); }

  // checker.cpp
  bool Geometry();
  void BootFields(const SectorBytes& b);
  void BackupBoot();
  void FsInfo();
  void FsInfoCounts();
  bool LoadFats();
  void ReservedEntries();
  void CompareCopy(unsigned k);
  // chains.cpp
  void Chains();
  void CrossLinks();
  void Entries();
  void LostChains(const std::vector<std::uint64_t>& lost);
  // directories.cpp
  void Directories();
  void ScanDirectory(std::uint32_t d, std::vector<std::uint64_t>& seen,
                     fat::ChainFollower& follower);

  fat::ByteSource& medium_;
  StepProgress steps_;
  OemCodePage page_;
  CheckResult r_;
  std::optional<fat::TreeNames> names_;
  std::vector<fat::ChainEnd> ends_;                // how each node's chain ends
  std::array<std::size_t, kFindingKinds> kept_{};  // findings kept, by kind
  // FSInfo as read, when its signatures hold.
  std::int64_t fsInfoSector_ = -1;
  std::uint32_t fsInfoFree_ = 0, fsInfoNext_ = 0;
};

}  // namespace dulvex::check
