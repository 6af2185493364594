#include "platform/timezone.h"

#include <unistd.h>

#include <cstddef>

#include "platform/posix/zone_file.h"

extern char** environ;

namespace velto::platform {
namespace {

// The TZ value captured at load. Plain zero-initialised storage, because the
// capture runs before C++ objects of this library are constructed; it is
// written once by the load-time constructor and only read afterwards.
char g_tz_at_load[kMaxTzBytes + 1];
bool g_tz_set_at_load = false;

bool IsTzName(const char* entry, const char* equals) {
  if (equals - entry != 2) return false;
  return (entry[0] == 'T' || entry[0] == 't') && (entry[1] == 'Z' || entry[1] == 'z');
}

const char* FindEquals(const char* entry) {
  while (*entry != '\0' && *entry != '=') ++entry;
  return *entry == '=' ? entry : nullptr;
}

// Runs when the library (or a program holding its static form) is loaded,
// so the time conversions follow the environment of that moment, whatever
// the host does to TZ afterwards. The first variable whose name is "TZ" in
// any case wins; an over-long value is cut to kMaxTzBytes bytes.
__attribute__((constructor)) void CaptureTzAtLoad() {
  if (environ == nullptr) return;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const char* equals = FindEquals(*entry);
    if (equals == nullptr || !IsTzName(*entry, equals)) continue;
    const char* value = equals + 1;
    std::size_t length = 0;
    while (length < kMaxTzBytes && value[length] != '\0') {
      g_tz_at_load[length] = value[length];
      ++length;
    }
    g_tz_at_load[length] = '\0';
    g_tz_set_at_load = true;
    return;
  }
}

}  // namespace

std::optional<std::string_view> TzAtLoad() {
  if (!g_tz_set_at_load) return std::nullopt;
  return std::string_view(g_tz_at_load);
}

std::optional<SystemTimeZone> ReadSystemTimeZone() { return ReadZoneFile(kSystemZoneFile); }

NamedZone ZoneNamedByTz(std::string_view tz) { return ZoneNamedByTz(tz, kZoneInfoDirectory); }

}  // namespace velto::platform
