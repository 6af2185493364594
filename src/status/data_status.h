// Measuring a target's text through the status file.
#pragma once

namespace velto::status {

// Measures target (or the temporary file the status file names) with the
// settings of the status file and writes Size and the six counts. True when
// the measurement completed and every result was written. Null pointers, an
// empty or missing status path, and paths that do not fit 259 bytes give
// false with nothing written.
bool MeasureDataStatus(const char* target, const char* status_path);

}  // namespace velto::status
