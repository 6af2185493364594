// The system time zone on POSIX lives in zone files (TZif, RFC 8536). From
// version 2 on such a file ends with a POSIX TZ rule string ("footer") that
// describes the zone's current yearly rule; that rule is all the time
// conversions need, so the footer is what these functions read.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/timezone.h"

namespace velto::platform {

// The zone file the system's local time follows.
inline constexpr const char* kSystemZoneFile = "/etc/localtime";
// The folder that relative zone names are looked up in.
inline constexpr const char* kZoneInfoDirectory = "/usr/share/zoneinfo";

// Describes the zone of a POSIX TZ rule string such as "JST-9",
// "EST5EDT,M3.2.0,M11.1.0" or "<+0530>-5:30" in the system's terms.
// nullopt when the text is not a complete, valid rule.
std::optional<SystemTimeZone> ParseZoneRule(std::string_view rule);

// Reads a zone file of version 2 or later and describes the zone by its
// footer. nullopt for a missing, unreadable, malformed or version 1 file,
// and for a file whose footer is empty or invalid.
std::optional<SystemTimeZone> ReadZoneFile(const std::string& path);

// A TZ value names a zone file when it begins with ":" or holds a "/";
// a relative name is looked up under zoneinfo_directory.
NamedZone ZoneNamedByTz(std::string_view tz, std::string_view zoneinfo_directory);

}  // namespace velto::platform
