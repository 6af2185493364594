#include "platform/win32/windows_api.h"

#include <fcntl.h>
#include <io.h>

#include <cstdint>

#include "platform/output_file.h"

namespace velto::platform {

std::FILE* CreateRegularFile(const char* path) {
  // A device name (CON, COM1, NUL) or a pipe opens too: only a file on disk
  // is kept, and only then emptied.
  const HANDLE file = ::CreateFileA(path, GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  if (::GetFileType(file) != FILE_TYPE_DISK || ::SetEndOfFile(file) == 0) {
    ::CloseHandle(file);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_BINARY);
  if (fd < 0) {
    ::CloseHandle(file);
    return nullptr;
  }
  std::FILE* stream = _fdopen(fd, "wb");
  if (stream == nullptr) _close(fd);  // closes the handle too
  return stream;
}

}  // namespace velto::platform
