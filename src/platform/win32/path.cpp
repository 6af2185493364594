#include "platform/win32/windows_api.h"
#include <shlwapi.h>  // after the Windows headers, which it needs

#include <cstring>

#include "platform/path.h"

namespace velto::platform {

char PathSeparator() { return '\\'; }

bool CurrentDirectory(PathBuffer& out) {
  std::memset(out, 0, sizeof out);
  // The result is the length without the terminator when it fits, else the
  // size the buffer would need; 0 reports a failure.
  const DWORD length = ::GetCurrentDirectoryA(static_cast<DWORD>(sizeof out), out);
  if (length == 0 || length >= sizeof out) {
    std::memset(out, 0, sizeof out);
    return false;
  }
  return true;
}

void RemoveLastComponent(char* path) {
  // The shell's own rule: it walks the path character by character in the
  // ANSI code page, so a trail byte 0x5C is not taken for a separator here,
  // and the backslash of a drive root ("C:\") or a root ("\") stays.
  ::PathRemoveFileSpecA(path);
}

}  // namespace velto::platform
