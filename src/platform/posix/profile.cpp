// The INI profile service on POSIX. Reads take the file as it stands; a
// write takes an advisory lock on the file, edits its text in memory and
// puts the new text in place with one rename, so that a reader sees either
// the old file or the new one, and writers that name one file (threads and
// processes alike) apply their updates one after the other. Every file
// operation whose failure matters goes through the table of
// file_operations.h, where tests make it fail.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/posix/file_operations.h"
#include "platform/posix/ini_text.h"
#include "platform/posix/profile_update.h"
#include "platform/profile.h"

namespace velto::platform {
namespace {

using posix::Files;

// A file descriptor, closed when it goes out of scope.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  // Closes now. The result matters for a file just written: a failed close
  // can mean its data never reached the disk.
  bool Close() {
    if (fd_ < 0) return true;
    return Files().close(std::exchange(fd_, -1)) == 0;
  }

 private:
  int fd_ = -1;
};

// Opens path when it names a regular file; else closed, with errno set
// (EISDIR for a file of another kind). O_NONBLOCK keeps open() from waiting
// on a fifo, which is refused by its type right after.
Descriptor OpenRegularFile(const char* path, int access) {
  Descriptor fd(Files().open(path, access | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.IsOpen()) return fd;
  struct stat info {};
  if (fstat(fd.get(), &info) != 0) return {};
  if (!S_ISREG(info.st_mode)) {
    fd.Close();
    errno = EISDIR;
  }
  return fd;
}

ssize_t ReadRetrying(int fd, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t count = Files().read(fd, buffer, size);
    if (count >= 0 || errno != EINTR) return count;
  }
}

// Reads an open regular file from its current offset to its end. The
// buffer is one byte larger than the file's size, so one read() takes a
// file that did not grow meanwhile, and the short read tells its end.
bool ReadToEnd(int fd, std::string& text) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return false;
  text.resize(static_cast<std::size_t>(info.st_size) + 1);
  std::size_t used = 0;
  for (;;) {
    if (used == text.size()) text.resize(text.size() * 2);
    const ssize_t count = ReadRetrying(fd, text.data() + used, text.size() - used);
    if (count < 0) return false;
    used += static_cast<std::size_t>(count);
    if (count == 0 || used < text.size()) break;
  }
  text.resize(used);
  return true;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t count = Files().write(fd, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

bool WriteAt(int fd, std::size_t offset, std::string_view bytes) {
  return lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0 && WriteAll(fd, bytes);
}

// The value of key in section of the profile at path; text holds the
// file's bytes that the result points into. Absent when path names no
// regular file or the key is not there; also absent, with *failed set,
// when the file is there but could not be read.
std::optional<std::string_view> LookUp(const char* section, const char* key, const char* path,
                                       std::string& text, bool* failed) {
  if (section == nullptr || key == nullptr || path == nullptr) return std::nullopt;
  const Descriptor fd = OpenRegularFile(path, O_RDONLY);
  const bool read = fd.IsOpen() ? ReadToEnd(fd.get(), text)
                                : (errno == ENOENT || errno == ENOTDIR || errno == EISDIR);
  if (!read) {
    if (failed != nullptr) *failed = true;
    return std::nullopt;
  }
  if (!fd.IsOpen()) return std::nullopt;
  return ini::FindValue(text, section, key);
}

std::size_t CopyBounded(std::string_view source, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return 0;
  const std::size_t count = std::min(source.size(), size - 1);
  std::memcpy(out, source.data(), count);
  out[count] = '\0';
  return count;
}

// Holds the advisory lock of the regular file a path names for one update.
// flock on a descriptor of our own serialises threads of one process as
// well as processes.
class LockedProfile {
 public:
  // False when path names no regular file that we may open for writing.
  bool Lock(const char* path);
  int fd() const { return fd_.get(); }
  const struct stat& info() const { return info_; }

 private:
  Descriptor fd_;
  struct stat info_ {};
};

bool LockedProfile::Lock(const char* path) {
  for (;;) {
    Descriptor fd = OpenRegularFile(path, O_RDWR);
    if (!fd.IsOpen()) return false;
    while (flock(fd.get(), LOCK_EX) != 0) {
      if (errno != EINTR) return false;
    }
    struct stat named {};
    if (fstat(fd.get(), &info_) != 0 || stat(path, &named) != 0) return false;
    // A writer that held the lock before us has replaced the file we opened;
    // the lock of a file that lost its name guards nothing, so start again.
    if (named.st_dev == info_.st_dev && named.st_ino == info_.st_ino) {
      fd_ = std::move(fd);
      return true;
    }
  }
}

// Gives a file the original's owner and group where we are allowed to (root
// may; an owner may keep a group it belongs to). Where not, the file stays
// ours, as any editor's save would leave it.
bool KeepOwner(int fd, const struct stat& original) {
  return fchown(fd, original.st_uid, original.st_gid) == 0 ||
         fchown(fd, static_cast<uid_t>(-1), original.st_gid) == 0;
}

// FNV-1a, 64 bits: a short stand-in for a name too long to repeat.
std::uint64_t NameHash(std::string_view name) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : name) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

// A profile whose name is longer than this gets a hashed replacement name,
// so that the replacement's name stays within NAME_MAX (255).
constexpr std::size_t kLongestRepeatedName = 200;

// The name of the file that takes a profile's place: ".NAME.velto-tmp"
// beside the profile NAME (".velto-HASH.tmp" for a very long NAME). The
// name is fixed, not random, and only the writer that holds the profile's
// lock creates a file of that name: a file of that name that the lock
// holder finds is therefore the leftover of a writer that is gone (killed
// between creating its file and putting it in place, or whose system went
// down), and the lock holder removes it. After any number of killed
// writers there is at most one such file per profile, and the next update
// leaves none. The writer also locks its own file and keeps that lock until
// it is done with the name, so the writer after it, which may lock the new
// profile as soon as it is in place, never finds the name still in use.
std::string ReplacementPath(std::string_view target) {
  const std::size_t separator = target.rfind('/');
  const std::string_view folder = target.substr(0, separator + 1);
  const std::string_view name = target.substr(separator + 1);
  std::string path(folder);
  if (name.size() <= kLongestRepeatedName) {
    path.append(".").append(name).append(".velto-tmp");
  } else {
    static constexpr char kHex[] = "0123456789abcdef";
    const std::uint64_t hash = NameHash(name);
    path.append(".velto-");
    for (int shift = 60; shift >= 0; shift -= 4) path.push_back(kHex[(hash >> shift) & 0xF]);
    path.append(".tmp");
  }
  return path;
}

// Removes the replacement file that a writer that is gone left at path,
// when it is a regular file; true when none is left. A file of another kind
// under that name (a link, a folder) was not made by velto and stays; false
// then, with errno EEXIST.
bool RemoveLeftover(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  if (!S_ISREG(info.st_mode)) {
    errno = EEXIST;
    return false;
  }
  return Files().unlink(path.c_str()) == 0 || errno == ENOENT;
}

enum class Creation {
  kCreated,
  kRefused,  // the folder takes no new file: no permission, or a name in the way
  kFailed,   // no space, no quota, an I/O error
};

// The new file beside the profile, removed again unless it took the
// profile's place.
class ReplacementFile {
 public:
  explicit ReplacementFile(std::string_view target) : path_(ReplacementPath(target)) {}
  ~ReplacementFile() {
    fd_.Close();
    // After an exchange the old text goes under this name; it goes too.
    if (created_ && (!placed_ || exchanged_)) Files().unlink(path_.c_str());
    lock_.Close();
  }
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  Creation Create() {
    constexpr int kFlags = O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW;
    fd_ = Descriptor(Files().create(path_.c_str(), kFlags, 0600));
    if (!fd_.IsOpen() && errno == EEXIST && RemoveLeftover(path_)) {
      fd_ = Descriptor(Files().create(path_.c_str(), kFlags, 0600));
    }
    if (!fd_.IsOpen()) {
      const int error = errno;
      const bool refused = error == EACCES || error == EPERM || error == EEXIST ||
                           error == EROFS || error == ENAMETOOLONG;
      return refused ? Creation::kRefused : Creation::kFailed;
    }
    created_ = true;
    // The lock lives on in a second descriptor of the same open file when
    // the first is closed (and checked) before the file is put in place.
    if (flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
      lock_ = Descriptor(fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
    }
    return Creation::kCreated;
  }

  bool Write(std::string_view bytes) { return WriteAll(fd_.get(), bytes); }

  // Owner first: a change of owner clears set-ID bits that the mode then
  // restores.
  bool TakeAttributesOf(const struct stat& original) {
    KeepOwner(fd_.get(), original);
    return fchmod(fd_.get(), original.st_mode & 07777) == 0;
  }

  bool Sync() { return Files().sync(fd_.get()) == 0; }

  // Closes the file; false when its data may not have been written.
  bool Close() { return fd_.Close(); }

  // Puts the file in target's place in one step: by exchanging the two
  // names where asked and supported, else by a rename over target.
  bool PutInPlace(const char* target, bool exchange) {
    if (exchange) {
      if (Files().exchange(path_.c_str(), target) == 0) {
        placed_ = exchanged_ = true;
        return true;
      }
      const int error = errno;
      if (error != EINVAL && error != ENOSYS && error != ENOTSUP && error != EOPNOTSUPP) return false;
    }
    if (Files().rename(path_.c_str(), target) != 0) return false;
    placed_ = true;
    return true;
  }

 private:
  std::string path_;
  Descriptor fd_;
  Descriptor lock_;
  bool created_ = false;
  bool placed_ = false;
  bool exchanged_ = false;
};

bool SyncsData(Replacement how) {
  return how == Replacement::kSyncThenRename || how == Replacement::kSyncThenExchange;
}

bool Exchanges(Replacement how) {
  return how == Replacement::kExchange || how == Replacement::kSyncThenExchange;
}

bool AllocationUnsupported(int error) {
  return error == EOPNOTSUPP || error == ENOTSUP || error == ENOSYS || error == EINVAL;
}

// The update for a folder that takes no new file (a folder without write
// permission, or one where the user may only edit existing files): there
// is no file to put in the profile's place, so the new text is written
// into the profile itself, still under the profile's lock, as Windows'
// profile service always writes. What that gives up, next to a
// replacement:
// - a reader that takes no lock (velto's own reads of the settings, a
//   host, an editor) can read the file while it is half rewritten;
// - a process killed, or a system that goes down, in the middle of the
//   rewrite can leave the file part new text and part old;
// - so can an I/O error part-way when putting the old text back fails too.
// What it keeps: writers still go one at a time; a full disk or quota is
// found before any byte changes (the room for a longer text is reserved
// first); a failed write puts the old text back; only the bytes from the
// first change on are written; and the file keeps its inode, owner,
// permissions and hard links.
bool RewriteInPlace(int fd, std::string_view old_text, std::string_view text, bool sync) {
  const std::size_t same = static_cast<std::size_t>(
      std::mismatch(old_text.begin(), old_text.end(), text.begin(), text.end()).first -
      old_text.begin());
  const auto old_size = static_cast<off_t>(old_text.size());
  const auto new_size = static_cast<off_t>(text.size());
  if (new_size > old_size && Files().allocate(fd, new_size) != 0 &&
      !AllocationUnsupported(errno)) {
    Files().truncate(fd, old_size);  // a reservation that failed part-way may have lengthened it
    return false;
  }
  if (WriteAt(fd, same, text.substr(same)) &&
      (new_size >= old_size || Files().truncate(fd, new_size) == 0) &&
      (!sync || Files().sync(fd) == 0)) {
    return true;
  }
  WriteAt(fd, same, old_text.substr(same));
  Files().truncate(fd, old_size);
  return false;
}

// Puts text in place of the profile that holds old_text.
bool WriteProfileText(const char* target, const LockedProfile& profile, std::string_view old_text,
                      std::string_view text, Replacement how) {
  ReplacementFile replacement(target);
  switch (replacement.Create()) {
    case Creation::kRefused:
      return RewriteInPlace(profile.fd(), old_text, text, SyncsData(how));
    case Creation::kFailed:
      return false;
    case Creation::kCreated:
      break;
  }
  return replacement.Write(text) && replacement.TakeAttributesOf(profile.info()) &&
         (!SyncsData(how) || replacement.Sync()) && replacement.Close() &&
         replacement.PutInPlace(target, Exchanges(how));
}

bool CanWriteAll(const char* section, std::span<const ProfileEntry> entries) {
  if (section == nullptr) return false;
  return std::all_of(entries.begin(), entries.end(), [section](const ProfileEntry& entry) {
    return entry.key != nullptr && entry.value != nullptr &&
           ini::CanWrite(section, entry.key, entry.value);
  });
}

struct FreeDeleter {
  void operator()(char* pointer) const { std::free(pointer); }
};

std::atomic<Replacement> replacement_in_force{Replacement::kRename};

}  // namespace

std::size_t ReadProfileValue(const char* path, const char* section, const char* key,
                             const char* def, char* out, std::size_t size, bool* read_failed) {
  std::string text;
  const std::optional<std::string_view> value = LookUp(section, key, path, text, read_failed);
  return CopyBounded(value ? *value : std::string_view(def == nullptr ? "" : def), out, size);
}

int ReadProfileInt(const char* path, const char* section, const char* key, int def,
                   bool* read_failed) {
  std::string text;
  const std::optional<std::string_view> value = LookUp(section, key, path, text, read_failed);
  // A present key with an empty value reads like an absent one, as it does
  // under the Windows service.
  if (!value || value->empty()) return def;
  return ini::ParseInteger(*value);
}

Replacement SetReplacement(Replacement replacement) {
  return replacement_in_force.exchange(replacement);
}

bool UpdateProfileValues(const char* path, const char* section,
                         std::span<const ProfileEntry> entries) {
  return UpdateProfileValuesBy(replacement_in_force.load(std::memory_order_relaxed), path, section,
                               entries);
}

bool UpdateProfileValuesBy(Replacement replacement, const char* path, const char* section,
                           std::span<const ProfileEntry> entries) {
  if (path == nullptr || !CanWriteAll(section, entries)) return false;
  // A profile that is a symbolic link is updated where the link points, and
  // the link stays a link. A path that names nothing (or a wildcard pattern)
  // resolves to nothing: the write is refused and no file is created.
  const std::unique_ptr<char, FreeDeleter> target(realpath(path, nullptr));
  if (!target) return false;

  LockedProfile profile;
  std::string text;
  if (!profile.Lock(target.get()) || !ReadToEnd(profile.fd(), text)) return false;
  std::string updated = text;
  for (const ProfileEntry& entry : entries) ini::SetValue(updated, section, entry.key, entry.value);
  if (updated != text) return WriteProfileText(target.get(), profile, text, updated, replacement);
  // A write that changes nothing leaves the file (and its time) alone, but
  // not the leftover of a writer that is gone.
  RemoveLeftover(ReplacementPath(target.get()));
  return true;
}

bool ProfileFormatSupported(const char* path) {
  const Descriptor fd = OpenRegularFile(path, O_RDONLY);
  if (!fd.IsOpen()) return true;  // no text that could be misread
  char mark[2] = {};
  const ssize_t count = ReadRetrying(fd.get(), mark, sizeof mark);
  if (count < 0) return false;  // a text that cannot be read is none to write either
  if (count != 2) return true;
  const auto byte = [&mark](std::size_t i) { return static_cast<unsigned char>(mark[i]); };
  const bool utf16_mark = (byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF);
  return !utf16_mark;
}

}  // namespace velto::platform
