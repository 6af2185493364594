#include "support/file_faults.h"

#include <cerrno>
#include <functional>
#include <map>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/posix/file_operations.h"

namespace velto::testing {
namespace {

using platform::posix::FileOperations;

struct Plan {
  FileOp op = FileOp::kOpen;
  int nth = 0;
  int error = 0;
  std::string path_part;
  bool every_later = false;
  int seen = 0;  // matching calls since the plan was made
};

// The state of the one FileFaults in force. Calls may come from several
// threads of a test, so it is guarded.
std::mutex guard;
std::vector<Plan> plans;
std::array<int, kAllFileOps.size()> calls{};
int failures = 0;
std::map<int, std::string> open_paths;  // the path each open descriptor was opened by
std::map<FileOp, std::function<void()>> hooks;  // run after the next good call

// Takes the hook for op out and runs it, when there is one and the call
// succeeded.
template <typename Result>
Result RunHook(FileOp op, Result result) {
  std::function<void()> hook;
  {
    const std::lock_guard<std::mutex> lock(guard);
    const auto found = hooks.find(op);
    if (result < 0 || found == hooks.end()) return result;
    hook = std::move(found->second);
    hooks.erase(found);
  }
  hook();
  return result;
}

// The path an open descriptor was opened by, "" when not known.
std::string PathOf(int fd) {
  const std::lock_guard<std::mutex> lock(guard);
  const auto found = open_paths.find(fd);
  return found == open_paths.end() ? std::string() : found->second;
}

int Opened(int fd, const char* path) {
  if (fd >= 0) {
    const std::lock_guard<std::mutex> lock(guard);
    open_paths[fd] = path;
  }
  return fd;
}

const FileOperations& System() { return platform::posix::SystemFileOperations(); }

// Counts the call; true (errno set) when it is to fail.
bool Failing(FileOp op, std::string_view path) {
  const std::lock_guard<std::mutex> lock(guard);
  ++calls[static_cast<std::size_t>(op)];
  for (Plan& plan : plans) {
    if (plan.op != op) continue;
    if (!plan.path_part.empty() && path.find(plan.path_part) == std::string_view::npos) continue;
    ++plan.seen;
    if (plan.seen < plan.nth || (plan.seen > plan.nth && !plan.every_later)) continue;
    ++failures;
    errno = plan.error;
    return true;
  }
  return false;
}

int Open(const char* path, int flags) {
  return Failing(FileOp::kOpen, path) ? -1 : Opened(System().open(path, flags), path);
}
int Create(const char* path, int flags, mode_t mode) {
  return Failing(FileOp::kCreate, path) ? -1 : Opened(System().create(path, flags, mode), path);
}
ssize_t Read(int fd, void* buffer, std::size_t size) {
  return Failing(FileOp::kRead, PathOf(fd).c_str()) ? -1 : System().read(fd, buffer, size);
}
// A failing write writes half of its bytes before it reports the error,
// the worst a disk that fills up part-way can do: bytes that went out
// although the call failed.
ssize_t Write(int fd, const void* buffer, std::size_t size) {
  if (!Failing(FileOp::kWrite, PathOf(fd).c_str())) {
    return RunHook(FileOp::kWrite, System().write(fd, buffer, size));
  }
  const int error = errno;
  if (size > 1) System().write(fd, buffer, size / 2);
  errno = error;
  return -1;
}
int Sync(int fd) { return Failing(FileOp::kSync, PathOf(fd).c_str()) ? -1 : System().sync(fd); }
int Allocate(int fd, off_t length) {
  return Failing(FileOp::kAllocate, PathOf(fd).c_str()) ? -1 : System().allocate(fd, length);
}
int Truncate(int fd, off_t length) {
  return Failing(FileOp::kTruncate, PathOf(fd).c_str()) ? -1 : System().truncate(fd, length);
}
int Rename(const char* from, const char* to) {
  return Failing(FileOp::kRename, to) ? -1 : RunHook(FileOp::kRename, System().rename(from, to));
}
int Exchange(const char* from, const char* to) {
  if (Failing(FileOp::kExchange, to)) return -1;
  return RunHook(FileOp::kExchange, System().exchange(from, to));
}
int Unlink(const char* path) {
  return Failing(FileOp::kUnlink, path) ? -1 : System().unlink(path);
}
// A failed close still closes the descriptor, as close(2) does on Linux.
int Close(int fd) {
  const bool failing = Failing(FileOp::kClose, PathOf(fd).c_str());
  const int error = errno;
  {
    const std::lock_guard<std::mutex> lock(guard);
    open_paths.erase(fd);
  }
  const int result = System().close(fd);
  if (!failing) return result;
  errno = error;
  return -1;
}

constexpr FileOperations kCounting = {Open,     Create,   Read,   Write,  Sync, Allocate,
                                      Truncate, Rename,   Exchange, Unlink, Close};

}  // namespace

const char* FileOpName(FileOp op) {
  static constexpr const char* kNames[] = {"open",     "create", "read",     "write",
                                           "sync",     "allocate", "truncate", "rename",
                                           "exchange", "unlink", "close"};
  return kNames[static_cast<std::size_t>(op)];
}

int TypicalError(FileOp op) {
  switch (op) {
    case FileOp::kWrite:
    case FileOp::kAllocate:
    case FileOp::kClose:
      return ENOSPC;
    case FileOp::kCreate:
      return EACCES;
    default:
      return EIO;
  }
}

FileFaults::FileFaults() {
  ResetCounts();
  Clear();
  platform::posix::ReplaceFileOperations(&kCounting);
}

FileFaults::~FileFaults() { platform::posix::ReplaceFileOperations(nullptr); }

void FileFaults::Fail(FileOp op, int nth, int error, std::string path_part, bool every_later) {
  const std::lock_guard<std::mutex> lock(guard);
  plans.push_back(Plan{op, nth, error, std::move(path_part), every_later, 0});
}

void FileFaults::Clear() {
  const std::lock_guard<std::mutex> lock(guard);
  plans.clear();
  hooks.clear();
}

void FileFaults::AfterCall(FileOp op, std::function<void()> hook) {
  const std::lock_guard<std::mutex> lock(guard);
  hooks[op] = std::move(hook);
}

int FileFaults::Calls(FileOp op) const {
  const std::lock_guard<std::mutex> lock(guard);
  return calls[static_cast<std::size_t>(op)];
}

void FileFaults::ResetCounts() {
  const std::lock_guard<std::mutex> lock(guard);
  calls.fill(0);
  failures = 0;
}

int FileFaults::Failures() const {
  const std::lock_guard<std::mutex> lock(guard);
  return failures;
}

}  // namespace velto::testing
