// The INI profile service under the status file: each call visits the file
// afresh, reads one key, or applies a few writes as one update.
#pragma once

#include <cstddef>
#include <span>

namespace velto::platform {

// Copies the value of key in section into out (at most size - 1 bytes and a
// terminator), or def when the key is absent. Returns the bytes copied.
// When the file is there but cannot be read (an I/O error), def is copied
// too and *read_failed, when given, is set; an absent file or key leaves it
// as it is. (Windows' profile service tells no such failure apart.)
std::size_t ReadProfileValue(const char* path, const char* section, const char* key,
                             const char* def, char* out, std::size_t size,
                             bool* read_failed = nullptr);

// The value of key as a signed integer, or def when the key is absent; a
// file that cannot be read as above.
int ReadProfileInt(const char* path, const char* section, const char* key, int def,
                   bool* read_failed = nullptr);

struct ProfileEntry {
  const char* key;
  const char* value;
};

// Sets each key of section to its value, adding the section and keys that
// are missing, as one update of the file, in the given order. Refused
// (false) as a whole when path names no existing regular file or a value
// cannot be stored.
bool UpdateProfileValues(const char* path, const char* section,
                         std::span<const ProfileEntry> entries);

// False for a file whose text form this platform's profile service cannot
// read (on POSIX: one that begins with a UTF-16 byte-order mark).
bool ProfileFormatSupported(const char* path);

}  // namespace velto::platform
