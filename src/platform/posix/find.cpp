#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/find.h"

namespace velto::platform {
namespace {

bool HasWildcard(std::string_view name) { return name.find_first_of("*?") != std::string_view::npos; }

// '*' matches any run of bytes (also none), '?' exactly one byte, every other
// byte only itself, case-sensitively as POSIX names are. Greedy with one
// backtrack point, which is enough for patterns made of '*' and literals.
bool MatchesPattern(std::string_view pattern, std::string_view name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::string_view::npos;
  std::size_t resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// The entry path names, following symbolic links, reported under name. Only
// regular files and directories count: opening a fifo or a device later
// could block or have side effects.
std::optional<FoundEntry> EntryAt(const char* path, std::string_view name) {
  struct stat info {};
  if (stat(path, &info) != 0) return std::nullopt;
  const bool is_directory = S_ISDIR(info.st_mode);
  if (!is_directory && !S_ISREG(info.st_mode)) return std::nullopt;
  if (name.empty() || name.size() >= kPathBufferSize) return std::nullopt;

  FoundEntry entry;
  std::memcpy(entry.name, name.data(), name.size());
  entry.is_directory = is_directory;
  entry.size = is_directory ? 0 : static_cast<std::uint64_t>(info.st_size);
  entry.last_write.seconds = static_cast<std::int64_t>(info.st_mtim.tv_sec);
  entry.last_write.nanoseconds = static_cast<std::int32_t>(info.st_mtim.tv_nsec);
  return entry;
}

struct DirectoryCloser {
  void operator()(DIR* directory) const { closedir(directory); }
};

// The names in directory that match pattern, in byte order ("." and ".."
// never match: they are no entries of their own).
std::vector<std::string> MatchingNames(const std::string& directory, std::string_view pattern) {
  std::vector<std::string> names;
  const std::unique_ptr<DIR, DirectoryCloser> stream(opendir(directory.c_str()));
  if (!stream) return names;
  while (const dirent* item = readdir(stream.get())) {
    const std::string_view name = item->d_name;
    if (name == "." || name == "..") continue;
    if (MatchesPattern(pattern, name)) names.emplace_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<FoundEntry> FindFirstMatch(std::string_view path, std::size_t name_start) {
  const std::string_view pattern = path.substr(name_start);
  // The directory part keeps its separator, so it prefixes names as it is.
  const std::string prefix(path.substr(0, name_start));
  for (const std::string& name : MatchingNames(prefix.empty() ? "." : prefix, pattern)) {
    PathBuffer candidate{};
    if (!CopyPath((prefix + name).c_str(), candidate)) continue;
    if (auto entry = EntryAt(candidate, name)) return entry;
  }
  return std::nullopt;
}

}  // namespace

std::optional<FoundEntry> FindFirst(const char* path) {
  if (path == nullptr) return std::nullopt;
  const std::string_view whole = path;
  if (whole.empty() || whole.size() >= kPathBufferSize) return std::nullopt;

  const std::size_t separator = whole.rfind(PathSeparator());
  const std::size_t name_start = separator == std::string_view::npos ? 0 : separator + 1;
  const std::string_view name = whole.substr(name_start);
  if (HasWildcard(name)) return FindFirstMatch(whole, name_start);
  return EntryAt(path, name);
}

bool IsSameFile(const char* first, const char* second) {
  struct stat a {};
  struct stat b {};
  return stat(first, &a) == 0 && stat(second, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace velto::platform
