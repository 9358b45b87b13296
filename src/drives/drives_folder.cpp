#include "drives/drives_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>

#include "device/host_file.h"
#include "drives/drive_letters.h"

namespace dulvex::drives {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBlock = 4096;  // the unit in which zeros are skipped

bool AllZero(const unsigned char* p, std::size_t n) {
  return std::all_of(p, p + n, [](unsigned char b) { return b == 0; });
}

Status SysError(const std::string& what) {
  return Status::FromErrno(what + ": " + std::strerror(errno));
}

}  // namespace

Environment ProcessEnvironment() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  Environment env{xdg != nullptr ? xdg : "", home != nullptr ? home : ""};
  if (env.home.empty()) {
    // Started without HOME (a service, `env -i`): the home folder of the account.
    const passwd* pw = ::getpwuid(::getuid());
    if (pw != nullptr && pw->pw_dir != nullptr) env.home = pw->pw_dir;
  }
  return env;
}

DrivesFolder ChooseDrivesFolder(const fs::path& exeDir, const fs::path& chosen,
                                const Environment& env) {
  if (!chosen.empty()) return {fs::absolute(chosen).lexically_normal(), false};
  std::error_code ec;
  if (fs::is_directory(exeDir / "drives", ec)) return {exeDir / "drives", false};
  // A relative XDG_DATA_HOME or HOME is ignored, as the XDG base directory rules say: the
  // folder would depend on where the program was started.
  if (fs::path(env.xdgDataHome).is_absolute())
    return {fs::path(env.xdgDataHome) / "dulvex" / "drives", true};
  if (!fs::path(env.home).is_absolute()) return {{}, true};
  return {fs::path(env.home) / ".local" / "share" / "dulvex" / "drives", true};
}

fs::path ProgramDataDir(const fs::path& exeDir) {
  std::error_code ec;
  if (fs::exists(exeDir / "HELP.rtf", ec)) return exeDir;
  return (exeDir / ".." / "share" / "dulvex").lexically_normal();
}

fs::path SamplesDir(const fs::path& dataDir) {
  return dataDir / "samples";
}

Status UnpackSparse(const fs::path& gz, const fs::path& out) {
  const auto failed = [&](std::string why, const Status& cause = Status(Cause::Refused)) {
    return Status(cause.cause, cause.error, std::move(why));
  };
  std::unique_ptr<gzFile_s, int (*)(gzFile)> in(gzopen(gz.c_str(), "rb"), gzclose);
  if (!in) return SysError("cannot open " + gz.string());
  if (gzdirect(in.get()) != 0) return failed(gz.string() + " is not a gzip file");
  // Written as every host file is: it takes its name only once whole and durable.
  device::PendingFile file(out.string());
  if (!file.ok())
    return failed("cannot make " + out.string() + ": " + file.status().Describe(), file.status());
  std::vector<unsigned char> buffer(256 * kBlock);
  for (;;) {
    const int got = gzread(in.get(), buffer.data(), static_cast<unsigned>(buffer.size()));
    int code = Z_OK;
    const char* why = gzerror(in.get(), &code);
    // A stream cut short ends in Z_BUF_ERROR rather than a failed read.
    if (got < 0 || code != Z_OK) return failed(gz.string() + " is damaged: " + why);
    if (got == 0) break;
    for (std::size_t i = 0; i < static_cast<std::size_t>(got); i += kBlock) {
      const std::size_t n = std::min(kBlock, static_cast<std::size_t>(got) - i);
      const bool done = AllZero(buffer.data() + i, n) ? file.Skip(n)
                                                      : file.Write(std::span(buffer).subspan(i, n));
      if (!done)
        return failed("cannot write " + out.string() + ": " + file.status().Describe(),
                      file.status());
    }
  }
  if (!file.Keep())
    return failed("cannot write " + out.string() + ": " + file.status().Describe(), file.status());
  return {};
}

std::vector<std::string> PrepareUserFolder(const fs::path& folder, const fs::path& samples) {
  std::vector<std::string> problems;
  std::error_code ec;
  if (fs::exists(fs::symlink_status(folder, ec))) return problems;
  fs::create_directories(folder, ec);
  if (ec) return {"cannot make the drives folder " + folder.string() + ": " + ec.message()};
  const fs::path copies = folder.parent_path() / "samples";
  for (char c = kFirstLetter; c <= kLastLetter; ++c) {
    const fs::path gz = samples / (std::string(1, c) + ".img.gz");
    if (!fs::exists(gz, ec)) continue;
    fs::create_directories(copies, ec);
    const fs::path copy = copies / (std::string(1, c) + ".img");
    // A copy left from an earlier first start is the user's: bound again, never overwritten.
    Status made = fs::exists(copy, ec) ? Status() : UnpackSparse(gz, copy);
    if (made.ok()) made = Bind(folder, c, copy);
    if (!made.ok()) problems.push_back("sample volume " + DeviceName(c) + ": " + made.Describe());
  }
  return problems;
}

}  // namespace dulvex::drives
