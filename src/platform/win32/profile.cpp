#include "platform/win32/windows_api.h"

#include <algorithm>
#include <cstring>

#include "platform/path.h"
#include "platform/profile.h"

namespace velto::platform {
namespace {

// The profile services look a bare file name up in the Windows directory,
// not in the current directory, and they decide "bare" on the wide form of
// the name: a name such as "表.ini", whose trail byte is 0x5C, is bare to
// them although our byte search took it as holding a directory. Handing
// them the full path makes them read and write the very file that the
// directory search found.
bool FullPath(const char* path, PathBuffer& out) {
  std::memset(out, 0, sizeof out);
  const DWORD length =
      ::GetFullPathNameA(path, static_cast<DWORD>(sizeof out), out, nullptr);
  if (length == 0 || length >= sizeof out) {
    std::memset(out, 0, sizeof out);
    return false;
  }
  return true;
}

// The profile services create a missing file on the first write; the status
// file must already exist, so a write is refused unless it does.
bool IsExistingRegularFile(const char* path) {
  const DWORD attributes = ::GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

DWORD BoundedSize(std::size_t size) {
  constexpr std::size_t kLargest = 0x7FFF'FFFF;
  return static_cast<DWORD>(size < kLargest ? size : kLargest);
}

std::size_t CopyDefault(const char* def, char* out, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t length = std::min(std::strlen(def), size - 1);
  std::memcpy(out, def, length);
  out[length] = '\0';
  return length;
}

}  // namespace

// The service reads a file it cannot read as one without the key, so
// read_failed is never set here.
std::size_t ReadProfileValue(const char* path, const char* section, const char* key,
                             const char* def, char* out, std::size_t size,
                             bool* /*read_failed*/) {
  PathBuffer full{};
  if (!FullPath(path, full)) return CopyDefault(def, out, size);
  return ::GetPrivateProfileStringA(section, key, def, out, BoundedSize(size), full);
}

int ReadProfileInt(const char* path, const char* section, const char* key, int def,
                   bool* /*read_failed*/) {
  PathBuffer full{};
  if (!FullPath(path, full)) return def;
  // The service hands a negative value back as its two's complement.
  return static_cast<int>(::GetPrivateProfileIntA(section, key, def, full));
}

bool UpdateProfileValues(const char* path, const char* section,
                         std::span<const ProfileEntry> entries) {
  PathBuffer full{};
  if (!FullPath(path, full) || !IsExistingRegularFile(full)) return false;
  // The service rewrites the file on every call; there is no batch form, so
  // the writes go in a row and all of them must succeed.
  bool written = true;
  for (const ProfileEntry& entry : entries) {
    if (::WritePrivateProfileStringA(section, entry.key, entry.value, full) == 0) {
      written = false;
    }
  }
  return written;
}

// The service reads ANSI and UTF-16 profiles alike.
bool ProfileFormatSupported(const char* /*path*/) { return true; }

}  // namespace velto::platform
