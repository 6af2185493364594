#include "status/file_status.h"

#include <cstdio>

#include "platform/clock.h"
#include "platform/find.h"
#include "status/status_keys.h"
#include "status/status_profile.h"

namespace velto::status {
namespace {

// Name and TimeStamp always change together, in one update of the file, so
// a reader never sees the name of one target with the time of another.
bool WriteNameAndTimeStamp(const StatusProfile& profile, const char* name,
                           const char* time_stamp) {
  const platform::ProfileEntry entries[] = {{kNameKey, name}, {kTimeStampKey, time_stamp}};
  return profile.WriteStrings(entries);
}

// "YYYY/MM/DD hh:mm:ss" with the full year.
void FormatTimeStamp(const platform::CalendarTime& time, platform::PathBuffer& out) {
  std::snprintf(out, sizeof out, "%04d/%02d/%02d %02d:%02d:%02d", time.year, time.month, time.day,
                time.hour, time.minute, time.second);
}

}  // namespace

bool RecordFileStatus(const char* target, const char* status_path) {
  if (target == nullptr || status_path == nullptr) return false;
  const StatusProfile profile(status_path);
  if (!profile.IsValid()) return false;
  // One update as a rule, so the file goes from the old facts straight to
  // the new ones. Stale facts of an earlier target must not survive a
  // failed call: they are cleared when the new ones cannot be written (a
  // name that no line could hold, or a write that failed).
  const auto entry = platform::FindFirst(target);
  platform::PathBuffer time_stamp{};
  if (entry) FormatTimeStamp(platform::FileTimeToLocalCalendar(entry->last_write), time_stamp);
  if (entry && WriteNameAndTimeStamp(profile, entry->name, time_stamp)) return true;
  WriteNameAndTimeStamp(profile, "", "");
  return false;
}

}  // namespace velto::status
