// "File's Data": saves a file's bytes to a host file chosen in a save dialog. The bytes go to
// a temporary file beside the chosen one, which takes its place only when the copy is
// complete or the user keeps the part that was read. The volume is only read.
#include "fattools/file_data_command.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "device/host_file.h"
#include "drives/drive_letters.h"
#include "fat/file_data.h"
#include "fattools/fat_session.h"
#include "sectorio/sector_io.h"

namespace dulvex::fattools {

namespace {

const std::string kTool = "File's Data";

std::string Bytes(std::uint64_t n) {
  return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

// The copy's bytes go to the pending host file.
class HostFileSink : public fat::ByteSink {
 public:
  explicit HostFileSink(device::PendingFile& file) : file_(file) {}
  Status Write(std::span<const std::uint8_t> bytes) override {
    return file_.Write(bytes) ? Status{} : file_.status();
  }

 private:
  device::PendingFile& file_;
};

// Why `target` may not receive the bytes: the volume itself, or no regular file.
std::string Refusal(const std::string& target, const fat::MediumSource& medium) {
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) return {};
  if (st.st_dev == medium.reader().dev() && st.st_ino == medium.reader().ino())
    return target + " is the volume itself; " + kTool + " never writes to the volume.";
  if (!S_ISREG(st.st_mode))
    return target + " is not a regular file; " + kTool + " saves into files only.";
  return {};
}

// A host file name for the file: its name without characters a path cannot hold.
std::string SuggestedName(std::string name) {
  for (char& c : name)
    if (c == '/' || c == '\0') c = '_';
  return name == "." || name == ".." || name.empty() ? "file" : name;
}

// The clusters of `run` in use now, in ranges with what uses them: "40-41 (/B.BIN)",
// "45 (lost: allocated in no file's chain)". `first` gets the first cluster in use.
std::string InUseText(const FatCache& cache, fat::TreeNames& names, const fat::Run& run,
                      std::optional<std::uint32_t>& first) {
  constexpr std::size_t kMostRanges = 20;
  struct Range {
    std::uint32_t from = 0, to = 0;
    std::string user;
  };
  std::vector<Range> ranges;
  std::size_t more = 0;
  std::uint32_t lastNode = 0;
  for (std::uint64_t i = 0; i < run.count; ++i) {
    const auto c = static_cast<std::uint32_t>(run.first + i);
    const fat::Owner o = cache.owners->Query(*cache.fat, c);
    if (o.kind == fat::Owner::Kind::Free) continue;
    if (!first) first = c;
    const bool sameUser =
        !ranges.empty() && ranges.back().to + 1 == c &&
        (o.kind == fat::Owner::Kind::File ? lastNode == o.node + 1 : lastNode == 0);
    lastNode = o.kind == fat::Owner::Kind::File ? o.node + 1 : 0;
    if (sameUser) {
      ranges.back().to = c;
      continue;
    }
    if (ranges.size() == kMostRanges) {
      ++more;
      continue;
    }
    std::string user = o.kind == fat::Owner::Kind::File   ? names.Path(o.node)
                       : o.kind == fat::Owner::Kind::Bad  ? "marked bad"
                       : o.kind == fat::Owner::Kind::Lost ? "lost: allocated in no file's chain"
                                                          : "reserved";
    ranges.push_back({c, c, std::move(user)});
  }
  std::string text;
  for (const Range& r : ranges) {
    if (!text.empty()) text += ", ";
    text += std::to_string(r.from) + (r.to > r.from ? "-" + std::to_string(r.to) : "") + " (" +
            r.user + ")";
  }
  if (more > 0) text += " and " + std::to_string(more) + " more ranges";
  return text;
}

}  // namespace

void mnuFileData_Click(WindowModel& model) {
  const std::optional<fat::Layout> layout = UsableLayout(model, kTool);
  if (!layout) return;
  const std::optional<FileTarget> target = AskFile(model, *layout, kTool);
  if (!target) return;
  Prompter& p = model.prompter();
  if (target->directory) {
    p.MessageBox(target->name + " is a directory: " + kTool + " saves the bytes of files.",
                 kStyleExclamation, AppTitle());
    return;
  }
  const std::shared_ptr<const fat::FatTable> table = CurrentFat(model, *layout);
  if (!table) return;
  fat::ChainFollower follower(*table);
  fat::FileExtents extents =
      fat::PlanFile(follower, target->firstCluster, target->size, target->deleted);
  std::string note;
  bool stopChosen = false;  // the user chose to stop at a cluster in use: no second question
  if (extents.assumed && !extents.runs.empty()) {
    // Whose clusters those are now: the owner map of the tree knows.
    if (!CurrentTree(model, *layout).ok()) return;
    const FatCache& cache = FatToolsOf(model).cache;
    fat::MediumSource source;
    if (!OpenMedium(model, source).ok()) return;
    fat::TreeNames names(*cache.tree, source, model.state.codePage);
    std::optional<std::uint32_t> firstInUse;
    const std::string inUse = InUseText(cache, names, extents.runs.front(), firstInUse);
    const std::string assumption =
        target->path +
        " is deleted: its bytes are taken from the consecutive clusters from cluster " +
        std::to_string(target->firstCluster) + ", the usual recovery assumption.";
    if (firstInUse) {
      fat::FileExtents stopped = fat::PlanFile(follower, target->firstCluster, target->size, true,
                                               fat::Recovery::StopAtInUse);
      const bool stop =
          p.MessageBox(assumption + " Clusters in use now: " + inUse +
                           ".\n\nStop at the first cluster in use (" + std::to_string(*firstInUse) +
                           ") and save the " + Bytes(stopped.readable) +
                           " before it? No reads the consecutive clusters anyway (" +
                           Bytes(extents.readable) + ").",
                       kStyleYesNo, AppTitle()) == kAnswerYes;
      if (stop) {
        stopChosen = true;
        extents = std::move(stopped);
        note = " " + assumption + " It was read up to cluster " + std::to_string(*firstInUse) +
               ", the first in use now (" + inUse + ").";
      } else {
        note = " " + assumption + " Clusters it took that are in use now: " + inUse + ".";
      }
    } else {
      note = " " + assumption +
             " None of them is in use now; they may still have been used "
             "again and freed since.";
    }
  }
  if (!extents.shortfall.empty()) {
    if (extents.readable == 0) {
      p.MessageBox("Nothing of " + target->name + " can be read: " + extents.shortfall + ".",
                   kStyleExclamation, AppTitle());
      return;
    }
    if (!stopChosen &&
        p.MessageBox(target->name + ": " + extents.shortfall + ". Save the part that can be read?",
                     kStyleYesNo, AppTitle()) != kAnswerYes)
      return;
  }
  const std::string path =
      p.FileDialog(Prompter::FileMode::Save, kTool, SuggestedName(target->name), "");
  if (path.empty()) return;
  fat::MediumSource source;
  if (!OpenMedium(model, source).ok()) return;
  if (const std::string refusal = Refusal(path, source); !refusal.empty()) {
    p.MessageBox(refusal, kStyleExclamation, AppTitle());
    return;
  }
  // A file's bytes may go beside the letters, never over one.
  if (const Status refused = drives::HostFileRefusal(model.state.drivesDir, path, false);
      !refused.ok()) {
    p.MessageBox(
        "Cannot save to " + refused.Describe() + ". Nothing was saved; choose another file.",
        kStyleExclamation, AppTitle());
    return;
  }
  device::PendingFile file(path);
  if (!file.ok()) {
    p.MessageBox("Cannot save " + path + ": " + file.status().Describe() + ". Nothing was saved.",
                 kStyleExclamation, AppTitle());
    return;
  }
  HostFileSink sink(file);
  fat::CopyResult copy;
  WorkResult end;
  model.runner().Run(
      kTool, WorkUnit::Bytes,
      [&](WorkProgress& progress) {
        copy = fat::CopyFile(source, *layout, extents, sink, &progress);
      },
      [&](const WorkResult& e) { end = e; });
  // Cancelled by the user: the pending file goes, as asked, without a word.
  if (end.outcome == WorkOutcome::Cancelled || copy.cancelled) return;
  if (end.outcome == WorkOutcome::Failed) copy.sink = {Cause::SystemError, 0, end.problem};
  if (!copy.sink.ok()) {
    p.MessageBox("Cannot save " + path + ": " + copy.sink.Describe() + ". Nothing was saved.",
                 kStyleExclamation, AppTitle());
    return;
  }
  if (copy.failure && p.MessageBox(ReadErrorText(model, *copy.failure) + " Save the " +
                                       Bytes(copy.copied) + " read before it?",
                                   kStyleYesNo, AppTitle()) != kAnswerYes)
    return;
  if (!file.Keep()) {
    p.MessageBox("Cannot save " + path + ": " + file.status().Describe() + ". Nothing was saved.",
                 kStyleExclamation, AppTitle());
    return;
  }
  // A part: say where the bytes stop.
  if (!extents.shortfall.empty() && !extents.assumed)
    note = " The rest was not saved: " + extents.shortfall + "." + note;
  p.MessageBox("Saved " + Bytes(copy.copied) + " of " + target->path + " to " + path + "." + note,
               kStyleOk, AppTitle());
}

}  // namespace dulvex::fattools
