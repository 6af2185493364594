#include "status/data_status.h"

#include <array>
#include <cstring>
#include <optional>

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

// The results of a measurement that starts: Size of the file to measure
// and the six counts 0, in one update, so a status file never shows the
// counts of an earlier measurement once a new one has begun, nor a Size
// that goes with other counts. With nothing to measure, Size is 0 as well.
bool WriteStartResults(const StatusProfile& profile, std::int64_t size) {
  std::array<std::int64_t, kDataResultKeys.size()> values{};
  values[0] = size;
  return profile.WriteInts(kDataResultKeys, values);
}

// The results of a measurement that completed: Size again with the six
// counts, in one update, so that where several hosts measure into one
// status file the last one to finish leaves its whole set, never its counts
// beside another's Size.
bool WriteResults(const StatusProfile& profile, std::int64_t size, const Counts& counts) {
  const std::array<std::int64_t, kDataResultKeys.size()> values = {
      size,          counts.crlf,       counts.no_crlf,    counts.no_crlf_no_blank,
      counts.line_count, counts.page_count, counts.mod_count};
  return profile.WriteInts(kDataResultKeys, values);
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
// completes at once, with only its Size) and every result was written. The
// status file goes through at most two updates, each whole: the start
// (Size and zeros), then all the results; a failed update ends the call.
bool MeasureTarget(const StatusProfile& profile, const StatusSettings& settings,
                   const char* target) {
  platform::PathBuffer measured{};
  std::optional<platform::FoundEntry> entry;
  if (settings.temporary[0] != '\0') {
    std::memcpy(measured, settings.temporary, sizeof measured);
    entry = platform::FindFirst(measured);
  } else if (platform::CopyPath(target, measured)) {
    entry = platform::FindFirst(measured);
  }
  if (!entry) {
    WriteStartResults(profile, 0);
    return false;
  }
  const auto size = static_cast<std::int64_t>(entry->size);
  if (!WriteStartResults(profile, size)) return false;
  if (entry->is_directory) return true;

  log::DebugLogFile log;
  ArmDebugLog(log, settings.debug_log, measured, profile);
  measure::Engine engine(settings.measure);
  const Result result = engine.MeasureFile(measured, &log);
  return result.ok() && WriteResults(profile, size, result.counts);
}

}  // namespace

bool MeasureDataStatus(const char* target, const char* status_path) {
  if (target == nullptr || status_path == nullptr || status_path[0] == '\0') return false;
  if (!FitsPathBuffer(target) || !FitsPathBuffer(status_path)) return false;
  if (!FileExists(status_path)) return false;

  StatusProfile profile;
  if (!profile.Open(status_path)) return false;
  const StatusSettings settings = ReadStatusSettings(profile, status_path);
  // Settings that could not be read are not guessed at: nothing is
  // measured and the status file stays as it is.
  if (profile.ReadFailed()) return false;
  return MeasureTarget(profile, settings, target);
}

}  // namespace velto::status
