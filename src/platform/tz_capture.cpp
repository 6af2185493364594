#include "platform/tz_capture.h"

#include <cstddef>

#include "platform/timezone.h"

namespace velto::platform {
namespace {

// The TZ value captured at load. Plain zero-initialised storage, because the
// capture runs before C++ objects of this library are constructed; it is
// written once at load and only read afterwards.
char g_tz_at_load[kMaxTzBytes + 1];
bool g_tz_set_at_load = false;

bool IsTzName(const char* entry, const char* equals) {
  if (equals - entry != 2) return false;
  return (entry[0] == 'T' || entry[0] == 't') && (entry[1] == 'Z' || entry[1] == 'z');
}

// The '=' that ends the name, searched from the second byte on: on Windows
// the names of the per-drive current directories begin with '=' ("=C:=C:\").
const char* FindEquals(const char* entry) {
  if (*entry != '\0') ++entry;
  while (*entry != '\0' && *entry != '=') ++entry;
  return *entry == '=' ? entry : nullptr;
}

}  // namespace

bool CaptureTzEntry(const char* entry) {
  const char* equals = FindEquals(entry);
  if (equals == nullptr || !IsTzName(entry, equals)) return false;
  const char* value = equals + 1;
  std::size_t length = 0;
  while (length < kMaxTzBytes && value[length] != '\0') {
    g_tz_at_load[length] = value[length];
    ++length;
  }
  g_tz_at_load[length] = '\0';
  g_tz_set_at_load = true;
  return true;
}

std::optional<std::string_view> TzAtLoad() {
  if (!g_tz_set_at_load) return std::nullopt;
  return std::string_view(g_tz_at_load);
}

}  // namespace velto::platform
