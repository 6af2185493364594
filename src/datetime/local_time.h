// Conversions between epoch seconds and broken-down local time under the
// process's time-zone settings.
#pragma once

#include <cstdint>
#include <optional>

#include "datetime/time_zone_settings.h"

namespace velto::datetime {

// A calendar time, counted as struct tm counts it.
struct BrokenDownTime {
  std::int32_t year = 0;      // years since 1900
  std::int32_t month = 0;     // 0 = January
  std::int32_t day = 0;       // day of month, from 1
  std::int32_t hour = 0;
  std::int32_t minute = 0;
  std::int32_t second = 0;
  std::int32_t weekday = 0;   // 0 = Sunday
  std::int32_t year_day = 0;  // 0 = 1 January
  std::int32_t daylight = 0;  // 1 while daylight time applies
};

// Local time of an epoch value; nullopt for a negative value, which has
// none. Daylight time is judged on the standard local time.
std::optional<BrokenDownTime> LocalTimeOf(std::int32_t epoch, const TimeZoneSettings& zone);

// Whether a standard local time lies inside the daylight period of its
// year. Reads year, year_day, hour, minute and second.
bool InDaylightPeriod(const BrokenDownTime& standard, const TimeZoneSettings& zone);

// The longest compact date-time text that is looked at; the fields take
// the first fourteen bytes only.
inline constexpr std::size_t kMaxCompactDateTimeBytes = 49;

// Reads "YYYYMMDDhhmmss" by fixed byte positions, each field by the decimal
// reading rule, into a local standard time (weekday, day of year and
// daylight flag 0). A null text reads as "(null)".
BrokenDownTime ReadCompactDateTime(const char* text);

// The epoch value of a local standard time, or -1 when it has none: a year
// outside 1969 to 2039 (also after a month outside 0 to 11 has carried into
// it), a count of seconds overflowing 32 bits, or an instant before 1970.
// Day, hour, minute and second may lie outside their ranges.
std::int32_t EpochOf(const BrokenDownTime& local, const TimeZoneSettings& zone);

}  // namespace velto::datetime
