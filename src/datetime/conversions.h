// The two time conversions from text to text, under given settings. The
// exports run them under the process's settings and keep the results.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "datetime/time_zone_settings.h"

namespace velto::datetime {

// Epoch seconds in decimal, laid out as local time by format; empty when
// the value is negative and so has no local time.
std::string EpochTextToLocal(std::string_view epoch, std::string_view format,
                             const TimeZoneSettings& zone);

// The epoch value of a compact local date-time "YYYYMMDDhhmmss" (null reads
// as "(null)"), or -1 when it has none.
std::int32_t CompactDateTimeToEpoch(const char* datetime, const TimeZoneSettings& zone);

}  // namespace velto::datetime
