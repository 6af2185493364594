// The copy of TZ that the time conversions read, taken once when the DLL is
// attached to a process.
#pragma once

namespace velto::platform {

// Copies the process environment's TZ (name matched without regard to case)
// into the library. Called from DllMain on process attach.
void CaptureTzAtLoad();

}  // namespace velto::platform
