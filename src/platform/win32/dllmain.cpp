#include "platform/win32/windows_api.h"

#include "platform/tz_capture.h"

// The library's only work at attach is to keep the environment's TZ of that
// moment for the time conversions. Thread notifications and detach have
// nothing to do; every notification reports success.
extern "C" BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) velto::platform::CaptureTzAtLoad();
  return TRUE;
}
