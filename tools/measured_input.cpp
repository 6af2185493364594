#include "measured_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "tool_error.h"

namespace velto::tool {
namespace {

constexpr std::size_t kReadChunk = 1 << 20;

// Standard input and pipes are held in memory up to this size; the rest of
// a longer stream goes on to a temporary file with what was held, so that a
// stream of any length costs no more memory than this.
constexpr std::size_t kHoldLimit = std::size_t{16} << 20;

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string ErrnoText() { return std::strerror(errno); }

}  // namespace

class SpillFile {
 public:
  // Creates the file; throws a ToolError when the temporary folder refuses.
  SpillFile() {
    const char* folder = std::getenv("TMPDIR");
    path_ = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp");
    path_ += "/velto-input-XXXXXX";
    fd_ = mkstemp(path_.data());
    if (fd_ < 0) throw ToolError("cannot create a temporary file " + path_ + ": " + ErrnoText());
  }
  ~SpillFile() {
    close(fd_);
    unlink(path_.c_str());
  }
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;

  // Writes bytes at the end; throws a ToolError when the disk refuses them.
  void Append(std::string_view bytes) const {
    while (!bytes.empty()) {
      const ssize_t put = write(fd_, bytes.data(), bytes.size());
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) throw ToolError("cannot write the temporary file " + path_ + ": " + ErrnoText());
      bytes.remove_prefix(static_cast<std::size_t>(put));
    }
  }

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

namespace {

// Reads up to size bytes, retrying interrupted reads: the count, 0 at the
// end, or a ToolError naming what failed.
std::size_t ReadSome(int fd, char* buffer, std::size_t size, const std::string& what) {
  for (;;) {
    const ssize_t got = read(fd, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw ToolError("cannot read " + what + ": " + ErrnoText());
  }
}

// Appends what fd holds, up to limit bytes in all (no limit: to its end).
void ReadInto(int fd, const std::string& what, std::string& text,
              std::size_t limit = static_cast<std::size_t>(-1)) {
  while (text.size() < limit) {
    const std::size_t before = text.size();
    const std::size_t want = std::min(kReadChunk, limit - before);
    text.resize(before + want);
    const std::size_t got = ReadSome(fd, text.data() + before, want, what);
    text.resize(before + got);
    if (got == 0) break;
  }
}

// Reads a stream (standard input, a pipe) to its end after the start
// already read from it: held in memory when it is short enough, else written
// to a spill file that the input then names. Returns the start of a spilled
// stream, for the detection of its encoding.
std::string TakeStream(int fd, const std::string& what, std::string text, MeasuredInput& input) {
  text.reserve(kHoldLimit);  // pages are taken only as they are filled
  ReadInto(fd, what, text, kHoldLimit);
  if (text.size() < kHoldLimit) {
    input.bytes = text.size();
    input.held = std::move(text);
    return {};
  }
  auto spill = std::make_shared<const SpillFile>();
  std::string start = text.substr(0, kDetectionPrefixBytes);
  while (!text.empty()) {
    spill->Append(text);
    input.bytes += text.size();
    text.clear();
    ReadInto(fd, what, text, kReadChunk);
  }
  input.path = spill->path();
  input.spill = std::move(spill);
  return start;
}

// Opens a named input and holds its text when it is small or no regular
// file (a pipe or device, such as a process substitution, can be read only
// once; see TakeStream). A larger file stays where it is; its first bytes are returned for
// the detection of its encoding.
std::string PrepareNamedFile(const std::string& name, MeasuredInput& input) {
  struct stat info {};
  if (stat(name.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) throw ToolError(name + ": no such file");
    throw ToolError("cannot read " + name + ": " + ErrnoText());
  }
  if (S_ISDIR(info.st_mode)) throw ToolError(name + ": is a directory");
  const Descriptor fd(open(name.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw ToolError("cannot read " + name + ": " + ErrnoText());
  // The first read also finds files that open but cannot be read (a
  // directory-like mount, an I/O error) before the library meets them.
  std::string start;
  ReadInto(fd.get(), name, start, kDetectionPrefixBytes);
  const bool regular = S_ISREG(info.st_mode);
  if (regular && start.size() == kDetectionPrefixBytes) {
    input.path = name;
    input.bytes = static_cast<std::uint64_t>(info.st_size);
    return start;
  }
  if (!regular) return TakeStream(fd.get(), name, std::move(start), input);
  input.bytes = start.size();
  input.held = std::move(start);
  return {};
}

}  // namespace

MeasuredInput PrepareInput(const std::string& name, std::optional<CharSet> char_set,
                           bool& stdin_taken) {
  MeasuredInput input;
  input.display_name = name;
  std::string prefix;
  if (name == "-") {
    if (stdin_taken) throw UsageError("standard input (-) can be named only once");
    stdin_taken = true;
    prefix = TakeStream(STDIN_FILENO, "standard input", {}, input);
  } else {
    prefix = PrepareNamedFile(name, input);
  }
  if (char_set) {
    input.char_set = *char_set;
    return input;
  }
  const std::string_view start =
      input.held ? std::string_view(*input.held).substr(0, kDetectionPrefixBytes) : prefix;
  input.char_set = DetectEncoding(start).char_set;
  input.detected = true;
  return input;
}

Result MeasureInput(Measurer& measurer, const MeasuredInput& input) {
  measurer.SetCharSet(input.char_set);
  return input.held ? measurer.MeasureBytes(*input.held) : measurer.MeasureFile(input.path);
}

}  // namespace velto::tool
