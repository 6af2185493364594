#include "platform/win32/windows_api.h"

#include <cstring>

#include "platform/timezone.h"
#include "platform/win32/tz_capture.h"

namespace velto::platform {
namespace {

// The TZ value captured at attach. Plain zero-initialised storage: it is
// written once under the loader lock, before any export can run, and only
// read afterwards.
char g_tz_at_load[kMaxTzBytes + 1];
bool g_tz_set_at_load = false;

bool IsTzName(const char* entry, const char* equals) {
  if (equals - entry != 2) return false;
  return (entry[0] == 'T' || entry[0] == 't') && (entry[1] == 'Z' || entry[1] == 'z');
}

// The environment block is a run of "name=value" strings ended by an empty
// one. Names of the per-drive current directories begin with '=' ("=C:=C:\"),
// so the '=' that ends a name is searched from the second byte on.
const char* FindEquals(const char* entry) {
  if (*entry != '\0') ++entry;
  while (*entry != '\0' && *entry != '=') ++entry;
  return *entry == '=' ? entry : nullptr;
}

void CaptureFromBlock(const char* block) {
  for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
    const char* equals = FindEquals(entry);
    if (equals == nullptr || !IsTzName(entry, equals)) continue;
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

void CaptureTzAtLoad() {
  char* block = ::GetEnvironmentStringsA();
  if (block == nullptr) return;
  CaptureFromBlock(block);
  ::FreeEnvironmentStringsA(block);
}

std::optional<std::string_view> TzAtLoad() {
  if (!g_tz_set_at_load) return std::nullopt;
  return std::string_view(g_tz_at_load);
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
