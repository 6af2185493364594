// What a status file asks of a measurement, read the way hosts have always
// had it read: the measuring settings, the temporary file measured in place
// of the target, and the debug log.
#pragma once

#include "platform/path.h"
#include "status/status_profile.h"
#include "velto/measure.hpp"

namespace velto::status {

struct StatusSettings {
  Settings measure;
  // The temporary file when one exists, else empty.
  platform::PathBuffer temporary{};
  // The debug log path, completed with the status file's folder; empty: no log.
  platform::PathBuffer debug_log{};
};

// Reads every setting of a valid profile. status_path is the status file's
// path as the caller gave it: a temporary file or log named without a folder
// lives in that path's folder. Nothing is written.
StatusSettings ReadStatusSettings(const StatusProfile& profile, const char* status_path);

}  // namespace velto::status
