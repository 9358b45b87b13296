// What Check Volume finds wrong on a FAT volume: each finding has a kind, a severity, the
// place it concerns (bytes of a sector, a cluster, an entry's path), one plain sentence, and
// the data a repair of it works from.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dulvex::check {

enum class Severity : std::uint8_t {
  Info,     // harmless, or a hint other systems ignore
  Warning,  // an inconsistency that loses no data by itself
  Error,    // a structure is broken: data may be lost or read wrong
};

// Every kind has a stable name for scripts (KindName): "chain_into_free".
enum class FindingKind : std::uint8_t {
  // The boot sector and the sectors beside it.
  BootSectorInvalid,          // a field breaks a rule; `sector` is the sector read instead
  BootSignatureMissing,       // bytes 510-511 are not 55 AA
  RootEntriesNotWholeSector,  // BPB_RootEntCnt x 32 is not a whole number of sectors
  BackupBootDiffers,          // FAT32: the backup boot sector differs from the primary
  BackupBootMissing,          // FAT32: BPB_BkBootSec names no backup
  FsInfoMissing,              // FAT32: BPB_FSInfo names no FSInfo sector
  FsInfoSignature,            // FAT32: a signature of the FSInfo sector is wrong
  FsInfoFreeCount,            // FAT32: the free count differs from the FAT's
  FsInfoFreeCountUnknown,     // FAT32: the free count is FFFFFFFF (not known)
  FsInfoNextFree,             // FAT32: the next-free hint names no cluster
  VolumeDirty,                // bit 0 of BS_Reserved1: not cleanly unmounted
  FatDirtyFlag,               // FAT[1]: the clean-shutdown bit is cleared
  FatErrorFlag,               // FAT[1]: the hard-error bit is cleared
  MediaMismatch,              // the low byte of FAT[0] is not BPB_Media
  ReservedEntryWrong,         // FAT[0] or FAT[1] does not hold the value it must
  // The file allocation tables.
  FatCopiesDiffer,     // copy `fatCopy` differs from the FAT in use
  FatEntryReserved,    // an entry holds 1 or a reserved value
  FatEntryOutOfRange,  // an entry names no cluster of the volume
  // Chains.
  ChainLoop,               // the chain of `node` comes back to a cluster of its own
  CrossLink,               // the chain of `node` runs into clusters of `other`
  ChainIntoFree,           // the chain of `node` runs into a free cluster
  ChainIntoBad,            // the chain of `node` runs into a cluster marked bad
  LostChain,               // allocated clusters that no entry owns
  FileSizeTooLarge,        // the size needs more clusters than the chain has
  FileChainTooLong,        // the chain has more clusters than the size needs
  DirectoryNonZeroSize,    // a directory entry with a size
  EmptyFileWithClusters,   // size 0, but a chain
  FirstClusterOutOfRange,  // 1, past the last cluster, or 0 for a directory
  ReadError,               // a sector of a directory could not be read
  // Directories.
  BadShortName,          // a short name with characters FAT forbids
  DuplicateName,         // two entries of one directory with the same short name
  BadDotEntry,           // "." or ".." missing, or naming the wrong cluster
  LfnOrphan,             // long-name pieces without their short entry, or out of order
  LfnBadChecksum,        // long-name pieces whose checksum is not the short name's
  LfnPieceFields,        // a long-name piece with a non-zero type or cluster field
  ExtraVolumeLabel,      // a second volume label, or one outside the root
  ImpossibleAttributes,  // directory and volume label at once, or reserved bits set
};
inline constexpr int kFindingKinds = static_cast<int>(FindingKind::ImpossibleAttributes) + 1;

// A place on the volume: byte `offset` of sector `sector` (an entry, a FAT entry, a field).
struct Place {
  std::int64_t sector = -1;  // -1: none
  std::uint32_t offset = 0;
  bool valid() const { return sector >= 0; }
  friend bool operator==(const Place&, const Place&) = default;
  friend auto operator<=>(const Place&, const Place&) = default;
};

inline constexpr std::uint32_t kNoNode = 0xFFFFFFFF;

struct Finding {
  FindingKind kind = FindingKind::BootSectorInvalid;
  Severity severity = Severity::Error;
  // Where: the bytes concerned (`length` bytes from `at`), for "Show".
  Place at;
  std::uint32_t length = 0;
  std::uint32_t cluster = 0;  // the cluster concerned; 0 for none
  std::string path;           // the entry concerned ("/DIR/FILE.TXT"); empty for none
  std::string otherPath;      // CrossLink: the first owner; DuplicateName: the first entry
  std::string text;           // one plain sentence

  // What a repair works from; the meaning of each member by kind is in the comments.
  std::uint32_t node = kNoNode;        // the tree's node of the entry concerned (its directory
                                       // for BadDotEntry, LfnOrphan and LfnBadChecksum)
  std::uint32_t other = kNoNode;       // CrossLink: the first owner; DuplicateName: the first entry
  Place entry;                         // the short entry concerned; BadDotEntry: the slot
  std::vector<Place> pieces;           // long-name pieces (LfnOrphan, LfnBadChecksum,
                                       // LfnPieceFields, and an entry's own for renames)
  std::uint32_t fatEntry = 0;          // the FAT entry to change (ChainLoop, ChainIntoFree,
                                       // ChainIntoBad, FatEntry*, FileChainTooLong: the last
                                       // cluster kept; 0 when the break is at the first cluster)
  std::uint32_t firstCluster = 0;      // the chain's first cluster (chains, LostChain's head)
  std::uint64_t clusters = 0;          // clusters of the chain kept (LostChain: its length;
                                       // CrossLink: those before the shared one)
  std::uint64_t value = 0;             // the value found (a size, a count, an entry, a cluster)
  std::uint64_t expected = 0;          // the value it should have
  unsigned fatCopy = 0;                // FatCopiesDiffer: the copy that differs (0 for FAT1)
  std::vector<std::uint32_t> entries;  // FatCopiesDiffer: the first entries that differ
};

// "chain_into_free": lower case, stable, for --json and scripts.
std::string_view KindName(FindingKind kind);
// "Chain runs into a free cluster": a short title for a list.
std::string_view KindTitle(FindingKind kind);
std::string_view SeverityName(Severity severity);  // "info", "warning", "error"

}  // namespace dulvex::check
