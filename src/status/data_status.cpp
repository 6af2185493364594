#include "status/data_status.h"

#include <array>
#include <cstring>

#include "log/debug_log_file.h"
#include "measure/measurement.h"
#include "platform/find.h"
#include "platform/path.h"
#include "status/status_keys.h"
#include "status/status_profile.h"
#include "status/status_settings.h"

namespace velto::status {
namespace {

bool FitsPathBuffer(const char* path) {
  return std::strlen(path) < platform::kPathBufferSize;
}

// Set when a measurement starts, so a status file never shows the results
// of an earlier measurement once a new one has begun; one update of the
// file for all seven keys.
bool WriteZeroResults(const StatusProfile& profile) {
  constexpr std::array<std::int64_t, kDataResultKeys.size()> kZeros{};
  return profile.WriteInts(kDataResultKeys, kZeros);
}

bool WriteCounts(const StatusProfile& profile, const Counts& counts) {
  const std::array<std::int64_t, kCountKeys.size()> values = {
      counts.crlf,       counts.no_crlf,    counts.no_crlf_no_blank,
      counts.line_count, counts.page_count, counts.mod_count};
  return profile.WriteInts(kCountKeys, values);
}

// Arms the debug log, unless it names the measured file or the status file:
// opening it would empty the text being counted, or the host's settings.
void ArmDebugLog(log::DebugLogFile& log, const char* debug_log, const char* measured,
                 const StatusProfile& profile) {
  log.SetPath(debug_log);
  const char* log_path = log.path();
  if (log_path[0] != '\0' &&
      (platform::IsSameFile(log_path, measured) || platform::IsSameFile(log_path, profile.path()))) {
    log.SetPath("");
  }
}

// Measures the temporary file when one exists, else the target, and writes
// Size and the six counts. True when the measurement completed (a directory
// completes at once, with only its Size) and every result was written.
bool MeasureTarget(const StatusProfile& profile, const StatusSettings& settings,
                   const char* target) {
  platform::PathBuffer measured{};
  if (settings.temporary[0] != '\0') {
    std::memcpy(measured, settings.temporary, sizeof measured);
  } else if (!platform::CopyPath(target, measured)) {
    return false;
  }
  const auto entry = platform::FindFirst(measured);
  if (!entry || !profile.WriteInt(kSizeKey, static_cast<std::int64_t>(entry->size))) return false;
  if (entry->is_directory) return true;

  log::DebugLogFile log;
  ArmDebugLog(log, settings.debug_log, measured, profile);
  measure::Engine engine(settings.measure);
  const Result result = engine.MeasureFile(measured, &log);
  return result.ok() && WriteCounts(profile, result.counts);
}

}  // namespace

bool MeasureDataStatus(const char* target, const char* status_path) {
  if (target == nullptr || status_path == nullptr || status_path[0] == '\0') return false;
  if (!FitsPathBuffer(target) || !FitsPathBuffer(status_path)) return false;
  if (!FileExists(status_path)) return false;

  StatusProfile profile;
  if (!profile.Open(status_path)) return false;
  const StatusSettings settings = ReadStatusSettings(profile, status_path);
  const bool zeros_written = WriteZeroResults(profile);
  // A status call whose writes were refused reports failure even when the
  // measurement ran.
  return MeasureTarget(profile, settings, target) && zeros_written;
}

}  // namespace velto::status
