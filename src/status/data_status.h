// Measuring a target's text through the status file.
#pragma once

namespace velto::status {

// Measures target (or the temporary file the status file names) with the
// settings of the status file and writes Size and the six counts. 0 when the
// measurement completed and every result was written, else -1. Null
// pointers, an empty or missing status path, and paths that do not fit 259
// bytes give -1 with nothing written.
int GetDataStatus(const char* target, const char* status_path);

}  // namespace velto::status
