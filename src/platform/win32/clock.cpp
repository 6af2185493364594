#include "platform/win32/windows_api.h"

#include <cstring>

#include "platform/clock.h"
#include "platform/win32/file_time.h"

namespace velto::platform {
namespace {

CalendarTime ToCalendar(const SYSTEMTIME& time) {
  CalendarTime result;
  result.year = time.wYear;
  result.month = time.wMonth;
  result.day = time.wDay;
  result.hour = time.wHour;
  result.minute = time.wMinute;
  result.second = time.wSecond;
  result.millisecond = time.wMilliseconds;
  return result;
}

// The local time of a UTC time with the system time zone's rule for that
// time's own year and season, the way the POSIX build reads a zone's
// history: a file written in summer keeps its summer time when looked at in
// winter. False when the system cannot convert that time.
bool ToLocalAtThatDate(const SYSTEMTIME& utc, SYSTEMTIME& local) {
  TIME_ZONE_INFORMATION zone;
  std::memset(&zone, 0, sizeof zone);
  if (::GetTimeZoneInformationForYear(utc.wYear, nullptr, &zone) == 0) return false;
  return ::SystemTimeToTzSpecificLocalTime(&zone, &utc, &local) != 0;
}

}  // namespace

CalendarTime FileTimeToLocalCalendar(const FileTime& time) {
  const FILETIME utc = ToSystemFileTime(time);
  SYSTEMTIME utc_fields;
  SYSTEMTIME fields;
  std::memset(&utc_fields, 0, sizeof utc_fields);
  std::memset(&fields, 0, sizeof fields);
  if (::FileTimeToSystemTime(&utc, &utc_fields) != 0 && ToLocalAtThatDate(utc_fields, fields)) {
    return ToCalendar(fields);
  }
  // Out of the range the zone rules cover: the zone's current bias, as
  // the system's own file time conversion applies it.
  FILETIME local;
  std::memset(&local, 0, sizeof local);
  ::FileTimeToLocalFileTime(&utc, &local);
  ::FileTimeToSystemTime(&local, &fields);
  return ToCalendar(fields);
}

CalendarTime LocalTimeNow() {
  SYSTEMTIME now;
  std::memset(&now, 0, sizeof now);
  ::GetLocalTime(&now);
  return ToCalendar(now);
}

}  // namespace velto::platform
