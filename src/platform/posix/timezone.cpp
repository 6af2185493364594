#include "platform/timezone.h"

#include "platform/posix/zone_file.h"
#include "platform/tz_capture.h"

extern char** environ;

namespace velto::platform {
namespace {

// Runs when the library (or a program holding its static form) is loaded,
// so the time conversions follow the environment of that moment, whatever
// the host does to TZ afterwards. The first TZ in any case wins.
__attribute__((constructor)) void CaptureTzOnLoad() { CaptureTzAtLoad(); }

}  // namespace

void CaptureTzAtLoad() {
  if (environ == nullptr) return;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (CaptureTzEntry(*entry)) return;
  }
}

std::optional<SystemTimeZone> ReadSystemTimeZone() { return ReadZoneFile(kSystemZoneFile); }

NamedZone ZoneNamedByTz(std::string_view tz) { return ZoneNamedByTz(tz, kZoneInfoDirectory); }

}  // namespace velto::platform
