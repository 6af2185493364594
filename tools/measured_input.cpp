#include "measured_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/path.h"
#include "tool_error.h"

namespace velto::tool {
namespace {

constexpr std::size_t kCopyChunk = 1 << 20;

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

// Reads up to size bytes, retrying interrupted reads: the count, 0 at the
// end, or a ToolError naming what failed.
std::size_t ReadSome(int fd, char* buffer, std::size_t size, const std::string& what) {
  for (;;) {
    const ssize_t got = read(fd, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw ToolError("cannot read " + what + ": " + ErrnoText());
  }
}

void WriteAll(int fd, const char* data, std::size_t size, const std::string& what) {
  while (size > 0) {
    const ssize_t put = write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) throw ToolError("cannot write " + what + ": " + ErrnoText());
    data += put;
    size -= static_cast<std::size_t>(put);
  }
}

int CreateFile(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) throw ToolError("cannot create " + path + ": " + ErrnoText());
  return fd;
}

// Copies everything from fd into a private file. Returns the bytes read.
std::uint64_t CopyInto(int fd, const std::string& what, const std::string& target) {
  const Descriptor out(CreateFile(target));
  std::vector<char> buffer(kCopyChunk);
  std::uint64_t total = 0;
  for (;;) {
    const std::size_t got = ReadSome(fd, buffer.data(), buffer.size(), what);
    if (got == 0) break;
    total += got;
    WriteAll(out.get(), buffer.data(), got, target);
  }
  return total;
}

int OpenForReading(const std::string& path, const std::string& what) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw ToolError("cannot read " + what + ": " + ErrnoText());
  return fd;
}

// The library finds files by a directory search in which '*' and '?' of
// the last component are wildcards, and keeps paths in 260-byte buffers.
// A name it would misread is measured through a link of our own.
bool LibraryCanName(const std::string& path) {
  if (path.size() >= platform::kPathBufferSize) return false;
  const std::size_t slash = path.rfind('/');
  const std::string_view last =
      std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  return last.find_first_of("*?") == std::string_view::npos;
}

std::string PrepareNamedFile(const std::string& name, const PrivateFolder& folder,
                             std::uint64_t& bytes) {
  struct stat info {};
  if (stat(name.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) throw ToolError(name + ": no such file");
    throw ToolError("cannot read " + name + ": " + ErrnoText());
  }
  if (S_ISDIR(info.st_mode)) throw ToolError(name + ": is a directory");
  const Descriptor fd(OpenForReading(name, name));
  if (!S_ISREG(info.st_mode)) {
    // A pipe or device (such as a process substitution) is read once, into
    // a file the library can measure and the show command can read again.
    const std::string copy = folder.File("input");
    bytes = CopyInto(fd.get(), name, copy);
    return copy;
  }
  bytes = static_cast<std::uint64_t>(info.st_size);
  // A read of one byte finds files that open but cannot be read (a
  // directory-like mount, an I/O error) before the library meets them.
  char probe = 0;
  ReadSome(fd.get(), &probe, 1, name);
  if (LibraryCanName(name)) return name;
  const std::string alias = folder.File("alias");
  std::error_code error;
  std::filesystem::create_symlink(std::filesystem::absolute(name, error), alias, error);
  if (error) throw ToolError("cannot link " + name + " into the private folder: " + error.message());
  return alias;
}

std::string ReadPrefix(const std::string& path, const std::string& what) {
  const Descriptor fd(OpenForReading(path, what));
  std::string prefix(kDetectionPrefixBytes, '\0');
  std::size_t filled = 0;
  while (filled < prefix.size()) {
    const std::size_t got = ReadSome(fd.get(), prefix.data() + filled, prefix.size() - filled, what);
    if (got == 0) break;
    filled += got;
  }
  prefix.resize(filled);
  return prefix;
}

}  // namespace

MeasuredInput PrepareInput(const std::string& name, std::optional<std::int32_t> char_set,
                           const PrivateFolder& folder, bool& stdin_taken) {
  MeasuredInput input;
  input.display_name = name;
  if (name == "-") {
    if (stdin_taken) throw UsageError("standard input (-) can be named only once");
    stdin_taken = true;
    input.path = folder.File("input");
    input.bytes = CopyInto(STDIN_FILENO, "standard input", input.path);
  } else {
    input.path = PrepareNamedFile(name, folder, input.bytes);
  }
  if (char_set) {
    input.char_set = *char_set;
    return input;
  }
  const DetectedEncoding detected = DetectEncoding(ReadPrefix(input.path, name));
  input.char_set = detected.char_set;
  input.detected = true;
  return input;
}

}  // namespace velto::tool
