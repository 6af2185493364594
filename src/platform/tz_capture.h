// The copy of TZ that the time conversions read, taken once when the library
// is loaded. Each platform walks its own form of the environment and hands
// every entry to CaptureTzEntry; matching and keeping the value is written
// once, in tz_capture.cpp.
#pragma once

namespace velto::platform {

// Keeps the value of a "name=value" entry whose name is TZ in any case, and
// is true then; an over-long value is cut to kMaxTzBytes bytes. Called only
// while the library is being loaded, before any export can run.
bool CaptureTzEntry(const char* entry);

// Walks the process environment as it stands and captures TZ from it.
void CaptureTzAtLoad();

}  // namespace velto::platform
