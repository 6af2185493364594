// The file facts of a target: its name and local last-write time, recorded
// in the status file.
#pragma once

namespace velto::status {

// Clears Name and TimeStamp in the status file, then writes the target's
// name (without directory) and last-write time "YYYY/MM/DD hh:mm:ss" in the
// process's local time zone. True when the status file is usable, the
// target was found and every write succeeded; false otherwise (also for
// null paths).
bool RecordFileStatus(const char* target, const char* status_path);

}  // namespace velto::status
