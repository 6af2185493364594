// The one time-zone description that both time conversions follow. It is
// set up once per process, from TZ as it stood when the library was loaded
// or else from the system's zone, and never changes afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/timezone.h"

namespace velto::datetime {

// Which yearly rule decides when daylight time applies.
enum class DaylightRule {
  // First Sunday of April 02:00 standard time to last Sunday of October
  // 02:00 daylight time, every year.
  kFixed,
  // The system's two transitions.
  kSystem,
};

inline constexpr std::size_t kMaxZoneNameBytes = 63;

// The member initialisers are the values in force when neither TZ nor the
// system tells anything: Pacific time under the fixed rule.
struct TimeZoneSettings {
  // Seconds west of UTC: local standard time = UTC - offset_west.
  std::int32_t offset_west = 8 * 3600;
  bool daylight_on = true;
  // Seconds added to offset_west while daylight time applies.
  std::int32_t daylight_shift = -3600;
  std::string standard_name = "PST";
  std::string daylight_name = "PDT";
  DaylightRule rule = DaylightRule::kFixed;
  // Read under DaylightRule::kSystem only: the start of daylight time (in
  // standard time) and its end (in daylight time).
  platform::ZoneTransition daylight_start;
  platform::ZoneTransition daylight_end;
};

// What the set-up consults besides the TZ value itself. The process uses
// the platform's; tests hand in their own zone files.
struct ZoneSources {
  std::function<platform::NamedZone(std::string_view tz)> named_by_tz;
  std::function<std::optional<platform::SystemTimeZone>()> system;
};

// The platform's zone sources.
ZoneSources PlatformZoneSources();

// The set-up, as a pure function of the TZ value (nullopt when TZ is not
// set). A value that names a stored zone uses that zone, or counts as
// absent when it cannot be read; a value of three or more bytes is read as
// a rule; an absent, empty or shorter value leaves the choice to the
// system's zone, and without one to the defaults.
TimeZoneSettings FromTzValue(std::optional<std::string_view> tz, const ZoneSources& sources);

// A TZ rule "SSS[-]h[:m[:s]][DDD]": the first three bytes name standard
// time, a "-" puts the zone east of UTC, and anything after the numbers
// turns daylight time on under the fixed rule, its first three bytes
// naming it. The value must hold at least three bytes.
TimeZoneSettings FromTzRule(std::string_view tz);

// The settings of a zone described by the system.
TimeZoneSettings FromSystemTimeZone(const platform::SystemTimeZone& zone);

// The process's settings, set up on first use (exactly once, also when
// several threads get there together).
const TimeZoneSettings& ProcessTimeZoneSettings();

}  // namespace velto::datetime
