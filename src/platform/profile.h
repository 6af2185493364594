// The INI profile service under the status file: the platform's
// GetPrivateProfileString / GetPrivateProfileInt / WritePrivateProfileString.
#pragma once

#include <cstddef>
#include <span>

namespace velto::platform {

// Copies the value of key in section into out (at most size - 1 bytes and a
// terminator), or def when the key is absent. Returns the bytes copied.
std::size_t GetProfileString(const char* section, const char* key, const char* def,
                             char* out, std::size_t size, const char* path);

// The value of key as a signed integer, or def when the key is absent.
int GetProfileInt(const char* section, const char* key, int def, const char* path);

// Sets key in section to value, adding the section and the key when missing.
// Refused (false) when path names no existing regular file.
bool WriteProfileString(const char* section, const char* key, const char* value,
                        const char* path);

struct ProfileEntry {
  const char* key;
  const char* value;
};

// Several writes applied as one update of the file, in the given order.
// Refused (false) as a whole under the same conditions as a single write.
bool WriteProfileStrings(const char* section, std::span<const ProfileEntry> entries,
                         const char* path);

// False for a file whose text form this platform's profile service cannot
// read (on POSIX: one that begins with a UTF-16 byte-order mark).
bool ProfileFormatSupported(const char* path);

}  // namespace velto::platform
