#include "lsblk/block_devices.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <utility>

#include "lsblk/json.h"

extern char** environ;

namespace dulvex::lsblk {

namespace {

std::string Trimmed(std::string text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && blank(text[start])) ++start;
  return text.substr(start);
}

std::string Text(const json::Value& v) {
  return v.isString() ? Trimmed(v.text()) : std::string();
}

// Newer lsblk writes true/false, older "1"/"0" or 1/0.
bool Flag(const json::Value& v) {
  switch (v.kind()) {
    case json::Value::Kind::Bool:
      return v.boolean();
    case json::Value::Kind::Number:
      return v.text().find_first_not_of("-0.eE+") != std::string::npos;
    case json::Value::Kind::String:
      return v.text() == "1" || v.text() == "true";
    default:
      return false;
  }
}

// Bytes as a number (newer lsblk) or a text of digits (older ones).
void ReadSize(const json::Value& v, BlockDevice& d) {
  const std::optional<std::uint64_t> n =
      v.isString() ? json::ParseUnsigned(Trimmed(v.text())) : v.unsignedInteger();
  d.sizeKnown = n.has_value();
  d.size = n.value_or(0);
}

// Adds `object` and the devices below it; returns whether any of them is mounted.
bool Add(const json::Value& object, int depth, std::vector<BlockDevice>& out) {
  BlockDevice d;
  d.name = Text(object["name"]);
  d.path = Text(object["path"]);
  if (d.path.empty() && !d.name.empty()) d.path = "/dev/" + d.name;
  d.model = Text(object["model"]);
  d.fsType = Text(object["fstype"]);
  d.label = Text(object["label"]);
  d.type = Text(object["type"]);
  ReadSize(object["size"], d);
  d.removable = Flag(object["rm"]);
  d.readOnly = Flag(object["ro"]);
  d.depth = depth;
  for (const json::Value& m : object["mountpoints"].items()) {
    if (!Text(m).empty()) d.mountPoints.push_back(Text(m));
  }
  if (!Text(object["mountpoint"]).empty()) d.mountPoints.push_back(Text(object["mountpoint"]));
  const std::size_t at = out.size();
  out.push_back(std::move(d));
  bool below = false;
  for (const json::Value& child : object["children"].items()) {
    if (child.isObject()) below = Add(child, depth + 1, out) || below;
  }
  out[at].holdsMounted = below;
  return below || out[at].mounted();
}

// A file descriptor closed when it goes.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

struct Output {
  std::string out, err;
  int status = -1;  // as waitpid gives it
  Status problem;   // why it could not be run
};

// Runs `argv` (found on the PATH) with no input and collects what it prints, for at most
// `timeoutMs`; a program still running then is killed.
Output RunProgram(const std::vector<const char*>& argv, int timeoutMs) {
  Output o;
  const auto failed = [&o](int error) {
    o.problem = {CauseOfErrno(error), error, std::strerror(error)};
    return o;
  };
  int outPipe[2], errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) return failed(errno);
  Fd outRead{outPipe[0]}, outWrite{outPipe[1]};
  if (::pipe2(errPipe, O_CLOEXEC) != 0) return failed(errno);
  Fd errRead{errPipe[0]}, errWrite{errPipe[1]};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outWrite.fd, 1);
  posix_spawn_file_actions_adddup2(&actions, errWrite.fd, 2);
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr,
                                     const_cast<char* const*>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return failed(spawned);
  // Only the child writes now: its end of each pipe closes when it ends.
  ::close(std::exchange(outWrite.fd, -1));
  ::close(std::exchange(errWrite.fd, -1));

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  pollfd fds[2] = {{outRead.fd, POLLIN, 0}, {errRead.fd, POLLIN, 0}};
  std::string* sinks[2] = {&o.out, &o.err};
  int open = 2;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) {
      o.problem = {Cause::SystemError, ETIMEDOUT,
                   "it did not answer within " + std::to_string(timeoutMs / 1000) + " s"};
      ::kill(pid, SIGKILL);
      break;
    }
    const int ready = ::poll(fds, 2, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) {
      o.problem = Status::FromErrno(std::strerror(errno));
      ::kill(pid, SIGKILL);
      break;
    }
    if (ready <= 0) continue;  // interrupted, or the time is up (checked above)
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[65536];
      const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open;
      }
    }
  }
  while (::waitpid(pid, &o.status, 0) < 0 && errno == EINTR) {
  }
  return o;
}

}  // namespace

DeviceList ParseLsblk(std::string_view text) {
  DeviceList list;
  const json::ParseResult doc = json::Parse(text);
  if (!doc.error.empty()) {
    list.status = {Cause::SystemError, 0, "lsblk's answer is not JSON: " + doc.error};
    return list;
  }
  const json::Value& devices = doc.value["blockdevices"];
  if (!devices.isArray()) {
    list.status = {Cause::SystemError, 0, "lsblk's answer has no list of block devices"};
    return list;
  }
  for (const json::Value& d : devices.items()) {
    if (d.isObject()) Add(d, 0, list.devices);
  }
  return list;
}

DeviceList ListBlockDevices(int timeoutMs) {
  const Output o =
      RunProgram({"lsblk", "--json", "--bytes", "--output", kColumns, nullptr}, timeoutMs);
  DeviceList list;
  if (!o.problem.ok()) {
    list.status = {o.problem.cause, o.problem.error,
                   "lsblk (util-linux) could not be run: " + o.problem.Describe()};
  } else if (!WIFEXITED(o.status) || WEXITSTATUS(o.status) != 0) {
    list.status = {Cause::SystemError, 0, "lsblk failed: " + Trimmed(o.err)};
  } else {
    list = ParseLsblk(o.out);
  }
  return list;
}

}  // namespace dulvex::lsblk
