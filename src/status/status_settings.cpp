#include "status/status_settings.h"

#include <cstring>

#include "status/status_keys.h"

namespace velto::status {
namespace {

constexpr const char* kDefaultTemporaryName = "velto.tmp";
// Short lines still get a usable wrap width.
constexpr std::uint32_t kMinimumLineLength = 10;

std::string ReadSet(const StatusProfile& profile, const char* key) {
  platform::PathBuffer value{};
  profile.ReadString(key, value);
  return value;
}

std::uint32_t ReadLength(const StatusProfile& profile, const char* key) {
  std::int32_t value = 0;
  profile.ReadInt(key, value);
  // Compared unsigned: a negative value is a huge length, not a short one.
  return static_cast<std::uint32_t>(value);
}

std::uint32_t UsableLineLength(std::uint32_t line_length) {
  return line_length != 0 && line_length < kMinimumLineLength ? kMinimumLineLength : line_length;
}

// A name without a separator lives in the settings folder, when there is
// one. False (and path cleared) when the joined path does not fit.
bool PlaceInSettingsFolder(platform::PathBuffer& path, const char* settings_folder) {
  if (platform::ContainsSeparator(path) || settings_folder[0] == '\0') return true;
  platform::PathBuffer joined{};
  const bool fits = platform::JoinPath(settings_folder, path, joined);
  std::memcpy(path, joined, sizeof path);
  return fits;
}

void ResolveTemporary(const StatusProfile& profile, const char* settings_folder,
                      platform::PathBuffer& temporary) {
  if (!profile.ReadString(kTemporaryKey, temporary)) {
    platform::CopyPath(kDefaultTemporaryName, temporary);
  }
  // Present but empty means no temporary file; it must not become the
  // settings folder itself, which exists.
  if (temporary[0] == '\0') return;
  if (!PlaceInSettingsFolder(temporary, settings_folder) || !FileExists(temporary)) {
    std::memset(temporary, 0, sizeof temporary);
  }
}

void ResolveDebugLog(const StatusProfile& profile, const char* settings_folder,
                     platform::PathBuffer& debug_log) {
  profile.ReadString(kDebugLogKey, debug_log);
  // A log path that does not fit leaves logging off for this measurement.
  if (debug_log[0] != '\0') PlaceInSettingsFolder(debug_log, settings_folder);
}

}  // namespace

StatusSettings ReadStatusSettings(const StatusProfile& profile, const char* status_path) {
  // The folder of the status path as the caller gave it, not the resolved
  // one: a bare file name has no settings folder. The profile is open, so
  // the path fits.
  platform::PathBuffer settings_folder{};
  platform::CopyPath(status_path, settings_folder);
  platform::RemoveLastComponent(settings_folder);

  StatusSettings settings;
  Settings& measure = settings.measure;
  measure.no_top_no_hang = ReadSet(profile, kNoTopNoHangKey);
  measure.no_top_hang = ReadSet(profile, kNoTopHangKey);
  measure.no_end = ReadSet(profile, kNoEndKey);
  measure.page_length = ReadLength(profile, kPageLengthKey);
  measure.line_length = UsableLineLength(ReadLength(profile, kLineLengthKey));
  ResolveTemporary(profile, settings_folder, settings.temporary);
  std::int32_t char_set = 0;
  profile.ReadInt(kCharSetKey, char_set);
  measure.char_set = static_cast<CharSet>(char_set);
  ResolveDebugLog(profile, settings_folder, settings.debug_log);
  return settings;
}

}  // namespace velto::status
