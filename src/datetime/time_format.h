// Lays out a local time by a strftime-like format with English names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "datetime/local_time.h"
#include "datetime/time_zone_settings.h"

namespace velto::datetime {

// The most text a formatted time may hold; its buffer keeps one byte more
// for the terminating zero.
inline constexpr std::size_t kMaxFormattedBytes = 254;

// Copies every byte of the format except conversions, which start with "%",
// take an optional "#" flag and one conversion character:
//   %a %A %b %B  weekday and month names, short and full
//   %c %x %X     "MM/dd/yy HH:mm:ss", "MM/dd/yy", "HH:mm:ss"; with "#" the
//                date is "dddd, MMMM dd, yyyy"
//   %d %H %I %j %m %M %S %U %w %W %y %Y  numbers with leading zeros ("#"
//                drops them)
//   %p "AM"/"PM", %Z %z the zone's current name, %% a "%"
// Any other conversion character produces nothing; a format ending inside a
// conversion ends there. The text is cut at kMaxFormattedBytes bytes, one
// byte earlier when the cut would leave the lead byte of a two-byte code
// page 932 character at its end.
std::string FormatTime(std::string_view format, const BrokenDownTime& time,
                       const TimeZoneSettings& zone);

}  // namespace velto::datetime
