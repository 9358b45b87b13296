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

#include "drives/drive_letters.h"

namespace dulvex::drives {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kBlock = 4096;  // the unit in which zeros are skipped

bool AllZero(const unsigned char* p, std::size_t n) {
  return std::all_of(p, p + n, [](unsigned char b) { return b == 0; });
}

std::string SysError(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const unsigned char* p, std::size_t n, off_t at) {
  while (n > 0) {
    const ssize_t done = ::pwrite(fd, p, n, at);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    p += done;
    n -= static_cast<std::size_t>(done);
    at += done;
  }
  return true;
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

std::string UnpackSparse(const fs::path& gz, const fs::path& out) {
  std::unique_ptr<gzFile_s, int (*)(gzFile)> in(gzopen(gz.c_str(), "rb"), gzclose);
  if (!in) return SysError("cannot open " + gz.string());
  if (gzdirect(in.get()) != 0) return gz.string() + " is not a gzip file";
  const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return SysError("cannot make " + out.string());
  std::string problem;
  std::vector<unsigned char> buffer(256 * kBlock);
  off_t at = 0;
  for (;;) {
    const int got = gzread(in.get(), buffer.data(), static_cast<unsigned>(buffer.size()));
    int code = Z_OK;
    const char* why = gzerror(in.get(), &code);
    // A stream cut short ends in Z_BUF_ERROR rather than a failed read.
    if (got < 0 || code != Z_OK) {
      problem = gz.string() + " is damaged: " + why;
      break;
    }
    if (got == 0) break;
    for (std::size_t i = 0; i < static_cast<std::size_t>(got); i += kBlock) {
      const std::size_t n = std::min(kBlock, static_cast<std::size_t>(got) - i);
      if (!AllZero(buffer.data() + i, n) && !WriteAll(fd, buffer.data() + i, n, at)) {
        problem = SysError("cannot write " + out.string());
        break;
      }
      at += static_cast<off_t>(n);
    }
    if (!problem.empty()) break;
  }
  // The length covers the zeros at the end, which were skipped like the others.
  if (problem.empty() && ::ftruncate(fd, at) != 0)
    problem = SysError("cannot size " + out.string());
  if (::close(fd) != 0 && problem.empty()) problem = SysError("cannot write " + out.string());
  if (!problem.empty()) {
    std::error_code ec;
    fs::remove(out, ec);
  }
  return problem;
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
    std::string problem = fs::exists(copy, ec) ? std::string() : UnpackSparse(gz, copy);
    if (problem.empty()) problem = Bind(folder, c, copy);
    if (!problem.empty()) problems.push_back("sample volume " + DeviceName(c) + ": " + problem);
  }
  return problems;
}

}  // namespace dulvex::drives
