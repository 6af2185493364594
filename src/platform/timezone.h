// Where the time conversions learn their time zone: the TZ value the
// process had when the library was loaded, and the system's own zone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velto::platform {

// One yearly transition of a zone, in the shape the daylight rule reads.
// With year 0 the transition falls on the day-th (1 to 5, 5 = last)
// day_of_week of month in every year; with any other year it falls on that
// month and day of month, in every year. Month 0 means the zone names no
// transition. The time of day may reach past either end of the day; the
// daylight rule moves such a transition to the neighbouring day.
struct ZoneTransition {
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day_of_week = 0;
  std::int32_t day = 0;
  std::int32_t hour = 0;
  std::int32_t minute = 0;
  std::int32_t second = 0;
  std::int32_t milliseconds = 0;
};

// A zone as the system describes it. Biases are minutes west of UTC:
// standard time is UTC - (bias + standard_bias), daylight time is
// UTC - (bias + daylight_bias). The daylight transition is given in local
// standard time, the standard transition in local daylight time.
struct SystemTimeZone {
  std::int32_t bias = 0;
  std::int32_t standard_bias = 0;
  std::int32_t daylight_bias = 0;
  // Names in the system's 8-bit code page; empty when a name does not fit
  // kMaxSystemZoneNameBytes or cannot be written in that code page.
  std::string standard_name;
  std::string daylight_name;
  ZoneTransition standard_date;
  ZoneTransition daylight_date;
};

inline constexpr std::size_t kMaxSystemZoneNameBytes = 62;

// The longest TZ value the library keeps; a longer one is cut to this many
// bytes when it is captured.
inline constexpr std::size_t kMaxTzBytes = 4095;

// The TZ variable as it stood when the library was loaded (its name matched
// without regard to case); nullopt when it was not set. Later changes of the
// environment are not seen.
std::optional<std::string_view> TzAtLoad();

// The system's time zone; nullopt when it cannot be read.
std::optional<SystemTimeZone> ReadSystemTimeZone();

// Some platforms let TZ name a stored zone description instead of spelling
// out a rule. names_zone tells whether the value does; zone holds what was
// read, or nothing when the named description cannot be read.
struct NamedZone {
  bool names_zone = false;
  std::optional<SystemTimeZone> zone;
};
NamedZone ZoneNamedByTz(std::string_view tz);

}  // namespace velto::platform
