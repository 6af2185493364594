// The system's file times (FILETIME) and ours (FileTime), both ways.
#pragma once

#include "platform/clock.h"
#include "platform/win32/windows_api.h"

namespace velto::platform {

// FILETIME counts 100-nanosecond ticks since 1601-01-01 00:00:00 UTC.
inline constexpr std::int64_t kTicksPerSecond = 10'000'000;
inline constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

inline FileTime ToFileTime(const FILETIME& time) {
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  const auto signed_ticks = static_cast<std::int64_t>(ticks);
  FileTime result;
  result.seconds = signed_ticks / kTicksPerSecond - kSecondsFrom1601To1970;
  result.nanoseconds = static_cast<std::int32_t>(signed_ticks % kTicksPerSecond * 100);
  return result;
}

inline FILETIME ToSystemFileTime(const FileTime& time) {
  std::int64_t ticks = (time.seconds + kSecondsFrom1601To1970) * kTicksPerSecond +
                       time.nanoseconds / 100;
  // FILETIME cannot hold a time before 1601; such a time is taken as 1601.
  if (ticks < 0) ticks = 0;
  const auto unsigned_ticks = static_cast<std::uint64_t>(ticks);
  FILETIME result;
  result.dwLowDateTime = static_cast<DWORD>(unsigned_ticks & 0xFFFF'FFFFu);
  result.dwHighDateTime = static_cast<DWORD>(unsigned_ticks >> 32);
  return result;
}

}  // namespace velto::platform
