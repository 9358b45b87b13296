#include "check/finding.h"

namespace dulvex::check {

namespace {

struct KindText {
  std::string_view name, title;
};

constexpr KindText kTexts[kFindingKinds] = {
    {"boot_sector_invalid", "Boot sector breaks a rule"},
    {"boot_signature_missing", "Boot sector signature missing"},
    {"root_entries_not_whole_sector", "Root entry count not a whole number of sectors"},
    {"backup_boot_differs", "Backup boot sector differs"},
    {"backup_boot_missing", "No backup boot sector"},
    {"fsinfo_missing", "No FSInfo sector"},
    {"fsinfo_signature", "FSInfo signature wrong"},
    {"fsinfo_free_count", "FSInfo free count wrong"},
    {"fsinfo_free_count_unknown", "FSInfo free count not set"},
    {"fsinfo_next_free", "FSInfo next-free hint out of range"},
    {"volume_dirty", "Volume marked dirty"},
    {"fat_dirty_flag", "FAT clean-shutdown bit cleared"},
    {"fat_error_flag", "FAT hard-error bit cleared"},
    {"media_mismatch", "Media byte differs from FAT[0]"},
    {"reserved_entry_wrong", "Reserved FAT entry wrong"},
    {"fat_copies_differ", "FAT copies differ"},
    {"fat_entry_reserved", "FAT entry holds a reserved value"},
    {"fat_entry_out_of_range", "FAT entry out of range"},
    {"chain_loop", "Chain loops"},
    {"cross_link", "Chains share clusters"},
    {"chain_into_free", "Chain runs into a free cluster"},
    {"chain_into_bad", "Chain runs into a bad cluster"},
    {"lost_chain", "Lost chain"},
    {"file_size_too_large", "File size larger than its chain"},
    {"file_chain_too_long", "Chain longer than the file size"},
    {"directory_non_zero_size", "Directory with a size"},
    {"empty_file_with_clusters", "Empty file with clusters"},
    {"first_cluster_out_of_range", "First cluster out of range"},
    {"read_error", "Sector cannot be read"},
    {"bad_short_name", "Bad characters in a short name"},
    {"duplicate_name", "Duplicate name"},
    {"bad_dot_entry", "Wrong . or .. entry"},
    {"lfn_orphan", "Orphaned long-name pieces"},
    {"lfn_bad_checksum", "Long name with a wrong checksum"},
    {"lfn_piece_fields", "Long-name piece with non-zero fields"},
    {"extra_volume_label", "Extra volume label"},
    {"impossible_attributes", "Impossible attributes"},
};

}  // namespace

std::string_view KindName(FindingKind kind) {
  return kTexts[static_cast<int>(kind)].name;
}

std::string_view KindTitle(FindingKind kind) {
  return kTexts[static_cast<int>(kind)].title;
}

std::string_view SeverityName(Severity severity) {
  switch (severity) {
    case Severity::Info:
      return "info";
    case Severity::Warning:
      return "warning";
    case Severity::Error:
      break;
  }
  return "error";
}

}  // namespace dulvex::check
