#include <time.h>

#include "platform/clock.h"

namespace velto::platform {

CalendarTime FileTimeToLocalCalendar(const FileTime& time) {
  // localtime_r need not notice a changed TZ by itself; tzset makes it do so.
  tzset();
  const auto seconds = static_cast<time_t>(time.seconds);
  struct tm local {};
  CalendarTime calendar;
  if (localtime_r(&seconds, &local) == nullptr) return calendar;
  calendar.year = local.tm_year + 1900;
  calendar.month = local.tm_mon + 1;
  calendar.day = local.tm_mday;
  calendar.hour = local.tm_hour;
  calendar.minute = local.tm_min;
  calendar.second = local.tm_sec;
  calendar.millisecond = time.nanoseconds / 1000000;
  return calendar;
}

CalendarTime LocalTimeNow() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return FileTimeToLocalCalendar(
      {static_cast<std::int64_t>(now.tv_sec), static_cast<std::int32_t>(now.tv_nsec)});
}

}  // namespace velto::platform
