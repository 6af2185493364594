// First-match directory search: the existence, name, size, kind and
// last-write time of the entry a path names (wildcards in the last
// component allowed).
#pragma once

#include <cstdint>
#include <optional>

#include "platform/path.h"

namespace velto::platform {

// Seconds and nanoseconds since 1970-01-01 00:00:00 UTC.
struct FileTime {
  std::int64_t seconds = 0;
  std::int32_t nanoseconds = 0;
};

// A broken-down local time; month 1..12.
struct CalendarTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

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

// The local calendar time of a file time, in the process's local time zone
// with the daylight rule of that date.
CalendarTime FileTimeToLocalCalendar(const FileTime& time);

// The current local time, milliseconds included.
CalendarTime LocalTimeNow();

}  // namespace velto::platform
