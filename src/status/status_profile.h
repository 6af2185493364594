// Accessor of the status file: resolves its path once, checks that it
// exists, and hands every read and write to the platform's profile service.
#pragma once

#include <cstdint>
#include <span>

#include "platform/path.h"
#include "platform/profile.h"

namespace velto::status {

// Whether a first-match directory search finds anything for path (files and
// directories alike, wildcards matching).
bool FileExists(const char* path);

class StatusProfile {
 public:
  StatusProfile() = default;
  explicit StatusProfile(const char* path) { Open(path); }

  // Resolves path against the current directory when it has no separator and
  // checks that it names an existing entry. True, and the profile valid, on
  // success; else false (the profile is then not valid).
  bool Open(const char* path);
  bool IsValid() const { return valid_; }
  const char* path() const { return path_; }

  // Every key lives in the one section of the status file. A write is false
  // when the profile is not valid or the platform refused it.

  // True when the key is present (value copied, at most 259 bytes, into
  // out, which holds at least 260 bytes); false when absent or the profile
  // is not valid (out untouched).
  bool ReadString(const char* key, char* out) const;
  // True when present (value stored); false when absent (0 stored) or the
  // profile is not valid (out untouched).
  bool ReadInt(const char* key, std::int32_t& out) const;
  // Whether a read since the profile was opened found the file there but
  // could not read it (an I/O error); such a read counted as absent.
  bool ReadFailed() const { return read_failed_; }

  bool WriteInt(const char* key, std::int64_t value) const;
  // Several keys written as one update of the file, in order.
  bool WriteStrings(std::span<const platform::ProfileEntry> entries) const;
  // Several integer keys written as one update of the file, in order.
  bool WriteInts(std::span<const char* const> keys, std::span<const std::int64_t> values) const;

 private:
  bool valid_ = false;
  mutable bool read_failed_ = false;
  platform::PathBuffer path_{};
};

}  // namespace velto::status
