// The INI profile service on POSIX. Reads take the file as it stands; a
// write takes an advisory lock on the file, edits its text in memory and
// puts the new text in place with one rename, so that a reader sees either
// the old file or the new one, and writers that name one file (threads and
// processes alike) apply their updates one after the other.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/posix/ini_text.h"
#include "platform/posix/profile_update.h"
#include "platform/profile.h"

namespace velto::platform {
namespace {

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
    return close(std::exchange(fd_, -1)) == 0;
  }

 private:
  int fd_ = -1;
};

// Puts from in to's place by exchanging the two names, so that to's old
// text goes on under from's name; false where the system or the file system
// cannot exchange names.
bool ExchangeNames(const char* from, const char* to) {
#if defined(VELTO_HAVE_RENAMEAT2)
  return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE) == 0;
#else
  (void)from;
  (void)to;
  return false;
#endif
}

// Opens path when it names a regular file. O_NONBLOCK keeps open() from
// waiting on a fifo, which is refused by its type right after.
Descriptor OpenRegularFile(const char* path, int access) {
  Descriptor fd(open(path, access | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat info {};
  if (!fd.IsOpen() || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  return fd;
}

ssize_t ReadRetrying(int fd, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t count = read(fd, buffer, size);
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
    const ssize_t count = write(fd, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

// The value of key in section of the profile at path; text holds the
// file's bytes that the result points into. Absent when path names no
// readable regular file.
std::optional<std::string_view> LookUp(const char* section, const char* key, const char* path,
                                       std::string& text) {
  if (section == nullptr || key == nullptr || path == nullptr) return std::nullopt;
  const Descriptor fd = OpenRegularFile(path, O_RDONLY);
  if (!fd.IsOpen() || !ReadToEnd(fd.get(), text)) return std::nullopt;
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

// A new file beside the one it is to replace, removed again unless it
// took that file's place.
class ReplacementFile {
 public:
  explicit ReplacementFile(std::string_view target) {
    const std::size_t separator = target.rfind('/');
    path_.assign(target.substr(0, separator + 1)).append(".velto-XXXXXX");
    fd_ = Descriptor(mkostemp(path_.data(), O_CLOEXEC));
    if (!fd_.IsOpen()) path_.clear();
  }
  ~ReplacementFile() {
    fd_.Close();
    if (!path_.empty()) unlink(path_.c_str());
  }
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  bool IsOpen() const { return fd_.IsOpen(); }
  bool Write(std::string_view bytes) { return WriteAll(fd_.get(), bytes); }

  // Owner first: a change of owner clears set-ID bits that the mode then
  // restores.
  bool TakeAttributesOf(const struct stat& original) {
    KeepOwner(fd_.get(), original);
    return fchmod(fd_.get(), original.st_mode & 07777) == 0;
  }

  // Puts the file in target's place atomically; no fsync, the update is
  // atomic but not made durable against a crash of the system. Exchanging
  // the two names (the old text then goes with this file's name and is
  // removed) costs a fraction of a rename over target, which some file
  // systems answer by writing the new file out at once; a host pays that on
  // every key. Where the exchange is not supported, a rename does the same.
  bool Replace(const char* target, Replacement replacement) {
    if (!fd_.Close()) return false;
    if (replacement == Replacement::kExchangeWherePossible && ExchangeNames(path_.c_str(), target)) {
      return true;
    }
    if (rename(path_.c_str(), target) != 0) return false;
    path_.clear();
    return true;
  }

 private:
  std::string path_;
  Descriptor fd_;
};

bool ReplaceContent(const char* target, const struct stat& original, std::string_view content,
                    Replacement how) {
  ReplacementFile replacement(target);
  return replacement.IsOpen() && replacement.Write(content) &&
         replacement.TakeAttributesOf(original) && replacement.Replace(target, how);
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

}  // namespace

std::size_t ReadProfileValue(const char* path, const char* section, const char* key,
                             const char* def, char* out, std::size_t size) {
  std::string text;
  const std::optional<std::string_view> value = LookUp(section, key, path, text);
  return CopyBounded(value ? *value : std::string_view(def == nullptr ? "" : def), out, size);
}

int ReadProfileInt(const char* path, const char* section, const char* key, int def) {
  std::string text;
  const std::optional<std::string_view> value = LookUp(section, key, path, text);
  // A present key with an empty value reads like an absent one, as it does
  // under the Windows service.
  if (!value || value->empty()) return def;
  return ini::ParseInteger(*value);
}

bool UpdateProfileValues(const char* path, const char* section,
                         std::span<const ProfileEntry> entries) {
  return UpdateProfileValuesBy(Replacement::kExchangeWherePossible, path, section, entries);
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
  // A write that changes nothing leaves the file (and its time) alone.
  return updated == text || ReplaceContent(target.get(), profile.info(), updated, replacement);
}

bool ProfileFormatSupported(const char* path) {
  const Descriptor fd = OpenRegularFile(path, O_RDONLY);
  if (!fd.IsOpen()) return true;  // no text that could be misread
  char mark[2] = {};
  if (ReadRetrying(fd.get(), mark, sizeof mark) != 2) return true;
  const auto byte = [&mark](std::size_t i) { return static_cast<unsigned char>(mark[i]); };
  const bool utf16_mark = (byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF);
  return !utf16_mark;
}

}  // namespace velto::platform
