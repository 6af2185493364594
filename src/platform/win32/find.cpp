#include "platform/win32/windows_api.h"

#include <cstring>

#include "platform/find.h"

namespace velto::platform {
namespace {

// FILETIME counts 100-nanosecond ticks since 1601-01-01 00:00:00 UTC.
constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

FileTime ToFileTime(const FILETIME& time) {
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  const auto signed_ticks = static_cast<std::int64_t>(ticks);
  FileTime result;
  result.seconds = signed_ticks / kTicksPerSecond - kSecondsFrom1601To1970;
  result.nanoseconds = static_cast<std::int32_t>(signed_ticks % kTicksPerSecond * 100);
  return result;
}

FILETIME ToSystemFileTime(const FileTime& time) {
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

CalendarTime ToCalendar(const SYSTEMTIME& time) {
  CalendarTime result;
  result.year = time.wYear;
  result.month = time.wMonth;
  result.day = time.wDay;
  result.hour = time.wHour;
  result.minute = time.wMinute;
  result.second = time.wSecond;
  result.millisecond = time.wMilliseconds;
  return result;
}

// The search record holds the name in MAX_PATH bytes, terminator included,
// which is exactly our path buffer; the copy is bounded all the same.
void CopyName(const char* name, PathBuffer& out) {
  const void* end = std::memchr(name, '\0', sizeof out - 1);
  const std::size_t length = end != nullptr
                                 ? static_cast<std::size_t>(static_cast<const char*>(end) - name)
                                 : sizeof out - 1;
  std::memcpy(out, name, length);
  out[length] = '\0';
}

// The local time of a UTC time with the system time zone's rule for that
// time's own year and season, the way the POSIX build reads a zone's
// history: a file written in summer keeps its summer time when looked at in
// winter. False when the system cannot convert that time.
bool ToLocalAtThatDate(const SYSTEMTIME& utc, SYSTEMTIME& local) {
  TIME_ZONE_INFORMATION zone;
  std::memset(&zone, 0, sizeof zone);
  if (::GetTimeZoneInformationForYear(utc.wYear, nullptr, &zone) == 0) return false;
  return ::SystemTimeToTzSpecificLocalTime(&zone, &utc, &local) != 0;
}

}  // namespace

bool IsSameFile(const char* first, const char* second) {
  const auto identify = [](const char* path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return known;
  };
  BY_HANDLE_FILE_INFORMATION a{};
  BY_HANDLE_FILE_INFORMATION b{};
  return identify(first, a) && identify(second, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

std::optional<FoundEntry> FindFirst(const char* path) {
  WIN32_FIND_DATAA data;
  std::memset(&data, 0, sizeof data);
  const HANDLE search = ::FindFirstFileA(path, &data);
  if (search == INVALID_HANDLE_VALUE) return std::nullopt;
  ::FindClose(search);

  FoundEntry entry;
  CopyName(data.cFileName, entry.name);
  entry.is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // Both halves of the size: a file of 4 GiB or more keeps its true size.
  if (!entry.is_directory) {
    entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  entry.last_write = ToFileTime(data.ftLastWriteTime);
  return entry;
}

CalendarTime FileTimeToLocalCalendar(const FileTime& time) {
  const FILETIME utc = ToSystemFileTime(time);
  SYSTEMTIME utc_fields;
  SYSTEMTIME fields;
  std::memset(&utc_fields, 0, sizeof utc_fields);
  std::memset(&fields, 0, sizeof fields);
  if (::FileTimeToSystemTime(&utc, &utc_fields) != 0 && ToLocalAtThatDate(utc_fields, fields)) {
    return ToCalendar(fields);
  }
  // Out of the range the zone rules cover: the zone's current bias, as
  // the system's own file time conversion applies it.
  FILETIME local;
  std::memset(&local, 0, sizeof local);
  ::FileTimeToLocalFileTime(&utc, &local);
  ::FileTimeToSystemTime(&local, &fields);
  return ToCalendar(fields);
}

CalendarTime LocalTimeNow() {
  SYSTEMTIME now;
  std::memset(&now, 0, sizeof now);
  ::GetLocalTime(&now);
  return ToCalendar(now);
}

}  // namespace velto::platform
