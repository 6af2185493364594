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

}  // namespace

CalendarTime FileTimeToLocalCalendar(const FileTime& time) {
  // The system's own conversion: the current bias of the system time zone,
  // as the file dialogs of the system show a file's time.
  const FILETIME utc = ToSystemFileTime(time);
  FILETIME local;
  std::memset(&local, 0, sizeof local);
  ::FileTimeToLocalFileTime(&utc, &local);
  SYSTEMTIME fields;
  std::memset(&fields, 0, sizeof fields);
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
