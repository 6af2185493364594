// First-match directory search: the existence, name, size, kind and
// last-write time of the entry a path names (wildcards in the last
// component allowed).
#pragma once

#include <cstdint>
#include <optional>

#include "platform/clock.h"
#include "platform/path.h"

namespace velto::platform {

struct FoundEntry {
  PathBuffer name{};          // the entry's name without directory
  std::uint64_t size = 0;     // 0 for a directory
  bool is_directory = false;
  FileTime last_write;
};

// Finds the first entry a path names. Only regular files and directories are
// entries; a fifo, socket or device is not found. A last component holding
// '*' or '?' matches the directory's entries in byte order.
std::optional<FoundEntry> FindFirst(const char* path);

// Whether two paths name one and the same existing file (through links and
// different spellings alike). False when either names nothing.
bool IsSameFile(const char* first, const char* second);

}  // namespace velto::platform
