// Accessor of the status file: resolves its path once, checks that it
// exists, and hands every read and write to the platform's profile service.
#pragma once

#include <cstdint>
#include <span>

#include "platform/path.h"
#include "platform/profile.h"

namespace velto::status {

// The one section that holds every setting and result.
inline constexpr const char* kSection = "GetStatus";

// Whether a first-match directory search finds anything for path (files and
// directories alike, wildcards matching).
bool FileExists(const char* path);

class StatusProfile {
 public:
  StatusProfile() = default;
  explicit StatusProfile(const char* path) { Open(path); }

  // Resolves path against the current directory when it has no separator and
  // checks that it names an existing entry. Returns 1 and makes the profile
  // valid on success, else 0 (the profile is then not valid).
  int Open(const char* path);
  int IsValid() const { return valid_; }
  const char* path() const { return path_; }

  // 1 when the key is present (value copied, at most 259 bytes, into out,
  // which holds at least 260 bytes); 0 when absent or the profile is not
  // valid (out untouched).
  int ReadString(const char* section, const char* key, char* out) const;
  // 1 when present (value stored); 0 when absent (0 stored) or the profile is
  // not valid (out untouched).
  int ReadInt(const char* section, const char* key, std::int32_t& out) const;

  int WriteString(const char* section, const char* key, const char* value) const;
  int WriteInt(const char* section, const char* key, std::int64_t value) const;
  // Several keys written as one update of the file, in order.
  int WriteStrings(const char* section, std::span<const platform::ProfileEntry> entries) const;
  // Several integer keys written as one update of the file, in order.
  int WriteInts(const char* section, std::span<const char* const> keys,
                std::span<const std::int64_t> values) const;

 private:
  std::int32_t valid_ = 0;
  platform::PathBuffer path_{};
};

}  // namespace velto::status
