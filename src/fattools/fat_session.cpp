#include "fattools/fat_session.h"

#include <cmath>
#include <string>

#include "base/numbers.h"
#include "device/sector_device.h"
#include "fat/dir_entry.h"
#include "sectorio/sector_io.h"

namespace dulvex::fattools {

namespace {

bool Fresh(const FatCache& c, const AppState& s) {
  return c.device == s.DevicePath && c.refreshes == s.refreshes &&
         c.writeAttempts == s.writeAttempts && c.codePage == s.codePage;
}

FatCache& Cache(WindowModel& model) {
  FatCache& c = FatToolsOf(model).cache;
  if (!Fresh(c, model.state))
    c = {model.state.DevicePath,
         model.state.refreshes,
         model.state.writeAttempts,
         model.state.codePage,
         {},
         {},
         {}};
  return c;
}

void Tell(WindowModel& model, const std::string& text) {
  model.prompter().MessageBox(text, kStyleExclamation, AppTitle());
}

// Says so when the long work `title` failed (a cancel says nothing: the user asked for it).
void TellFailure(WindowModel& model, const std::string& title, const WorkResult& end) {
  if (end.outcome == WorkOutcome::Failed) Tell(model, title + " failed: " + end.problem + ".");
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<FileTarget> RootTarget(const fat::Layout& layout) {
  FileTarget t;
  t.name = t.path = "/";
  t.directory = true;
  t.fixedRoot = layout.kind != fat::FatKind::Fat32;
  t.firstCluster = t.fixedRoot ? 0 : layout.rootCluster;
  return t;
}

// A slot of the last file list: the entry the directory analyzer met there.
std::optional<FileTarget> SlotTarget(WindowModel& model, const fat::Layout& layout,
                                     const std::string& digits) {
  const FileList& files = model.state.files;
  const int slot = digits.size() > 9 ? -1 : std::stoi(digits);
  if (slot < 1 || slot > files.FileCount) {
    Tell(model, files.FileCount == 0
                    ? std::string("The last file list is empty: give a path such as "
                                  "/DIR/NAME.TXT.")
                    : "There is no slot " + digits + " in the last file list (1 to " +
                          std::to_string(files.FileCount) + ").");
    return std::nullopt;
  }
  const std::size_t index = static_cast<std::size_t>(slot - 1);
  const std::uint8_t* e = &files.entries[index * fat::kDirEntryBytes];
  const std::string what = "Slot " + std::to_string(slot);
  if (fat::IsLongNamePiece(e)) {
    Tell(model, what + " is a piece of a long name, not a file or directory.");
    return std::nullopt;
  }
  if ((e[fat::kDirAttr] & 0x18) == fat::kAttrVolumeId) {
    Tell(model, what + " is the volume label, not a file or directory.");
    return std::nullopt;
  }
  FileTarget t;
  t.name = fat::LongNameBefore(files.entries, index)
               .value_or(fat::ShortNameText(e, model.state.codePage));
  t.path = "slot " + std::to_string(slot) + " (" + t.name + ")";
  t.firstCluster = fat::FirstCluster(e, layout.kind);
  t.size = fat::FileSize(e);
  t.deleted = e[0] == fat::kDeletedEntry;
  t.directory = (e[fat::kDirAttr] & fat::kAttrDirectory) != 0;
  // ".." of a directory in the root names the root with cluster 0.
  if (t.directory && t.firstCluster == 0) {
    std::optional<FileTarget> root = RootTarget(layout);
    root->path = t.path;
    return root;
  }
  return t;
}

}  // namespace

std::optional<fat::Layout> UsableLayout(WindowModel& model, const std::string& tool) {
  fat::LayoutReading r = fat::LayoutOf(model.state.geometry);
  if (!model.state.geometryUsable) r = {std::nullopt, "the last refresh found none it can use"};
  if (!r.layout) Tell(model, tool + " needs a FAT volume: " + r.problem + ".");
  return r.layout;
}

Status OpenMedium(WindowModel& model, fat::MediumSource& source) {
  Status r =
      source.Open(device::DriveFile(model.state.drivesDir, model.state.DevicePath), IoOf(model));
  if (!r.ok())
    Tell(model, "Open Error on Device " + model.state.DevicePath + ": " + r.Describe() + ".");
  return r;
}

std::string ReadErrorText(WindowModel& model, const fat::ReadFailure& failure) {
  return "Read Error on Device " + model.state.DevicePath + ", " + failure.Describe() + ".";
}

std::shared_ptr<const fat::FatTable> CurrentFat(WindowModel& model, const fat::Layout& layout) {
  FatCache& cache = Cache(model);
  if (cache.fat) return cache.fat;
  fat::MediumSource source;
  if (!OpenMedium(model, source).ok()) return nullptr;
  const auto load = [&](unsigned fat) {
    fat::FatLoad result;
    const std::string title = "Reading FAT" + std::to_string(fat + 1);
    model.runner().Run(
        title, WorkUnit::Bytes,
        [&](WorkProgress& p) { result = fat::LoadFat(source, layout, fat, &p); },
        [&](const WorkResult& end) { TellFailure(model, title, end); });
    return result;
  };
  // The active FAT; where it cannot be read and the others are its copies, the first copy
  // that reads stands in for it, and the message says which.
  fat::FatLoad loaded = load(layout.activeFat);
  std::string problem;
  if (loaded.failure) {
    problem = ReadErrorText(model, *loaded.failure) + " FAT" +
              std::to_string(layout.activeFat + 1) + " cannot be read.";
    for (unsigned copy = 0;
         layout.mirrored && copy < layout.numFats && !loaded.table && !loaded.cancelled; ++copy) {
      if (copy == layout.activeFat) continue;
      loaded = load(copy);
      if (loaded.table) problem += " Its copy FAT" + std::to_string(copy + 1) + " is used.";
    }
  }
  if (!problem.empty()) Tell(model, problem);
  if (!loaded.table) return nullptr;
  cache.fat = std::make_shared<const fat::FatTable>(std::move(*loaded.table));
  return cache.fat;
}

Status CurrentTree(WindowModel& model, const fat::Layout& layout) {
  std::shared_ptr<const fat::FatTable> table = CurrentFat(model, layout);
  if (!table) return Status(Cause::IoError, 0, "the FAT cannot be read");
  FatCache& cache = Cache(model);
  if (cache.tree && cache.owners) return {};
  fat::MediumSource source;
  if (Status open = OpenMedium(model, source); !open.ok()) return open;
  std::optional<fat::Tree> tree;
  std::optional<fat::OwnerMap> owners;
  const std::string title = "Reading the directory tree";
  model.runner().Run(
      title, WorkUnit::Items,
      [&](WorkProgress& p) {
        tree = fat::WalkTree(source, *table, &p, model.state.codePage);
        if (!tree->cancelled) owners = fat::OwnerMap::Build(*tree, *table, &p);
      },
      [&](const WorkResult& end) { TellFailure(model, title, end); });
  if (!owners) return Status(tree && tree->cancelled ? Cause::Cancelled : Cause::SystemError);
  cache.tree = std::make_shared<const fat::Tree>(std::move(*tree));
  cache.owners = std::make_shared<const fat::OwnerMap>(std::move(*owners));
  return {};
}

std::optional<std::uint32_t> ShownCluster(WindowModel& model, const fat::Layout& layout) {
  const std::optional<std::int32_t> sector = ToInt32(NumericValue(model.At(kSectorBox).caption));
  if (!sector) return std::nullopt;
  return layout.ClusterOfSector(*sector);
}

std::optional<std::uint32_t> AskCluster(WindowModel& model, const fat::Layout& layout,
                                        const std::string& prompt,
                                        std::optional<std::uint32_t> suggested) {
  const std::string reply =
      model.prompter().InputBox(prompt, AppTitle(), std::to_string(suggested.value_or(2)));
  if (Trimmed(reply).empty()) return std::nullopt;
  const double value = NumericValue(reply);
  // Compared as a double first: only a value in range is converted.
  if (!(value >= 2 && value <= layout.MaxCluster()) || value != std::floor(value)) {
    Tell(model, "Cluster " + CanonicalText(value) + " is not a data cluster of this volume (2 to " +
                    std::to_string(layout.MaxCluster()) + ").");
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

std::optional<FileTarget> AskFile(WindowModel& model, const fat::Layout& layout,
                                  const std::string& tool) {
  const FileList& files = model.state.files;
  std::string suggested = "/";
  for (int n = 1; n <= files.FileCount; ++n) {
    const std::uint8_t* e = &files.entries[static_cast<std::size_t>(n - 1) * fat::kDirEntryBytes];
    if (!fat::IsLongNamePiece(e) && (e[fat::kDirAttr] & 0x18) != fat::kAttrVolumeId) {
      suggested = std::to_string(n);
      break;
    }
  }
  const std::string prompt =
      tool + ": which file or directory? A slot of the last file list" +
      (files.FileCount > 0 ? " (1 to " + std::to_string(files.FileCount) + ")" : "") +
      ", or a path such as /DIR/SUB/NAME.TXT.";
  const std::string reply = Trimmed(model.prompter().InputBox(prompt, AppTitle(), suggested));
  if (reply.empty()) return std::nullopt;
  if (reply.find_first_not_of("0123456789") == std::string::npos)
    return SlotTarget(model, layout, reply);
  if (reply.find_first_not_of('/') == std::string::npos) return RootTarget(layout);
  if (!CurrentTree(model, layout).ok()) return std::nullopt;
  const fat::Tree& tree = *FatToolsOf(model).cache.tree;
  fat::MediumSource source;
  if (!OpenMedium(model, source).ok()) return std::nullopt;
  fat::TreeNames names(tree, source, model.state.codePage);
  const std::optional<std::uint32_t> found = names.Find(reply);
  if (!found) {
    Tell(model, "No file or directory " + reply + " on this volume.");
    return std::nullopt;
  }
  if (*found == 0) return RootTarget(layout);
  const fat::Node& n = tree.nodes[*found];
  FileTarget t;
  t.name = names.Name(*found);
  t.path = names.Path(*found);
  t.node = *found;
  t.firstCluster = n.firstCluster;
  t.size = n.size;
  t.deleted = n.deleted;
  t.directory = n.IsDirectory();
  return t;
}

}  // namespace dulvex::fattools
