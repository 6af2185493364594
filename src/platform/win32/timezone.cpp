#include "platform/win32/windows_api.h"

#include <cstring>

#include "platform/timezone.h"
#include "platform/tz_capture.h"

namespace velto::platform {
namespace {

ZoneTransition ToTransition(const SYSTEMTIME& time) {
  ZoneTransition transition;
  transition.year = time.wYear;
  transition.month = time.wMonth;
  transition.day_of_week = time.wDayOfWeek;
  transition.day = time.wDay;
  transition.hour = time.wHour;
  transition.minute = time.wMinute;
  transition.second = time.wSecond;
  transition.milliseconds = time.wMilliseconds;
  return transition;
}

// A zone name in the ANSI code page, or empty when it does not fit or holds
// a character that code page cannot write. The UTF code pages report no
// substitutions (they need none), so they are asked without that report.
std::string ToAnsiName(const WCHAR* name) {
  char buffer[kMaxSystemZoneNameBytes + 1] = {};
  const UINT code_page = ::GetACP();
  const bool reports_default = code_page != CP_UTF8 && code_page != CP_UTF7;
  BOOL used_default = FALSE;
  const int written = ::WideCharToMultiByte(
      code_page, reports_default ? WC_NO_BEST_FIT_CHARS : 0, name, -1, buffer,
      static_cast<int>(sizeof buffer), nullptr, reports_default ? &used_default : nullptr);
  if (written <= 0 || used_default != FALSE) return std::string();
  return std::string(buffer);
}

}  // namespace

// The environment block is a run of "name=value" strings ended by an empty
// one. Called from DllMain on process attach.
void CaptureTzAtLoad() {
  char* block = ::GetEnvironmentStringsA();
  if (block == nullptr) return;
  for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
    if (CaptureTzEntry(entry)) break;
  }
  ::FreeEnvironmentStringsA(block);
}

std::optional<SystemTimeZone> ReadSystemTimeZone() {
  TIME_ZONE_INFORMATION information;
  std::memset(&information, 0, sizeof information);
  if (::GetTimeZoneInformation(&information) == TIME_ZONE_ID_INVALID) return std::nullopt;
  SystemTimeZone zone;
  zone.bias = information.Bias;
  zone.standard_bias = information.StandardBias;
  zone.daylight_bias = information.DaylightBias;
  zone.standard_name = ToAnsiName(information.StandardName);
  zone.daylight_name = ToAnsiName(information.DaylightName);
  zone.standard_date = ToTransition(information.StandardDate);
  zone.daylight_date = ToTransition(information.DaylightDate);
  return zone;
}

// On Windows TZ always spells out its rule; it never names a stored zone.
NamedZone ZoneNamedByTz(std::string_view /*tz*/) { return NamedZone{}; }

}  // namespace velto::platform
