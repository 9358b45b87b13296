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
  bool Write(std::span<const std::uint8_t> bytes, std::string* error) override {
    if (file_.Write(bytes)) return true;
    return *error = file_.Problem(), false;
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
  const fat::FileExtents extents =
      fat::PlanFile(follower, target->firstCluster, target->size, target->deleted);
  std::string note;
  if (extents.assumed)
    note = " " + target->name +
           " is deleted: its bytes were taken from the consecutive clusters "
           "from cluster " +
           std::to_string(target->firstCluster) +
           ", the usual recovery assumption; they may have been used again since.";
  if (!extents.shortfall.empty()) {
    if (extents.readable == 0) {
      p.MessageBox("Nothing of " + target->name + " can be read: " + extents.shortfall + ".",
                   kStyleExclamation, AppTitle());
      return;
    }
    if (p.MessageBox(target->name + ": " + extents.shortfall + ". Save the part that can be read?",
                     kStyleYesNo, AppTitle()) != kAnswerYes)
      return;
  }
  const std::string path =
      p.FileDialog(Prompter::FileMode::Save, kTool, SuggestedName(target->name), "");
  if (path.empty()) return;
  fat::MediumSource source;
  if (!OpenMedium(model, source)) return;
  if (const std::string refusal = Refusal(path, source); !refusal.empty()) {
    p.MessageBox(refusal, kStyleExclamation, AppTitle());
    return;
  }
  if (const std::string refusal = drives::HostFileRefusal(model.state.drivesDir, path);
      !refusal.empty()) {
    p.MessageBox("Cannot save to " + refusal + ". Nothing was saved; choose another file.",
                 kStyleExclamation, AppTitle());
    return;
  }
  device::PendingFile file(path);
  if (!file.ok()) {
    p.MessageBox("Cannot save " + path + ": " + file.Problem() + ". Nothing was saved.",
                 kStyleExclamation, AppTitle());
    return;
  }
  HostFileSink sink(file);
  fat::CopyResult copy;
  bool cancelled = false;
  model.runner().Run(
      kTool, WorkUnit::Bytes,
      [&](WorkProgress& progress) {
        copy = fat::CopyFile(source, *layout, extents, sink, &progress);
      },
      [&](bool c) { cancelled = c; });
  if (cancelled || copy.cancelled) return;
  if (!copy.writeError.empty()) {
    p.MessageBox("Cannot save " + path + ": " + copy.writeError + ". Nothing was saved.",
                 kStyleExclamation, AppTitle());
    return;
  }
  if (copy.failure && p.MessageBox(ReadErrorText(model, *copy.failure) + " Save the " +
                                       Bytes(copy.copied) + " read before it?",
                                   kStyleYesNo, AppTitle()) != kAnswerYes)
    return;
  if (!file.Keep()) {
    p.MessageBox("Cannot save " + path + ": " + file.Problem() + ". Nothing was saved.",
                 kStyleExclamation, AppTitle());
    return;
  }
  p.MessageBox("Saved " + Bytes(copy.copied) + " of " + target->path + " to " + path + "." + note,
               kStyleOk, AppTitle());
}

}  // namespace dulvex::fattools
