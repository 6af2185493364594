// Times of the system: a file's last-write time in local calendar fields,
// and the current local time.
#pragma once

#include <cstdint>

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

// The local calendar time of a file time, in the process's local time zone
// with the daylight rule of that date.
CalendarTime FileTimeToLocalCalendar(const FileTime& time);

// The current local time, milliseconds included.
CalendarTime LocalTimeNow();

}  // namespace velto::platform
