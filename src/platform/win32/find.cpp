#include "platform/win32/windows_api.h"

#include <cstring>

#include "platform/find.h"
#include "platform/win32/file_time.h"

namespace velto::platform {
namespace {

// The search record holds the name in MAX_PATH bytes, terminator included,
// which is exactly our path buffer; the copy is bounded all the same.
void CopyName(const char* name, PathBuffer& out) {
  const void* end = std::memchr(name, '\0', sizeof out - 1);
  const std::size_t length = end != nullptr
                                 ? static_cast<std::size_t>(static_cast<const char*>(end) - name)
                                 : sizeof out - 1;
  std::memcpy(out, name, length);
  out[length] = '\0';
}

}  // namespace

bool IsSameFile(const char* first, const char* second) {
  const auto identify = [](const char* path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return known;
  };
  BY_HANDLE_FILE_INFORMATION a{};
  BY_HANDLE_FILE_INFORMATION b{};
  return identify(first, a) && identify(second, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

std::optional<FoundEntry> FindFirst(const char* path) {
  WIN32_FIND_DATAA data;
  std::memset(&data, 0, sizeof data);
  const HANDLE search = ::FindFirstFileA(path, &data);
  if (search == INVALID_HANDLE_VALUE) return std::nullopt;
  ::FindClose(search);

  FoundEntry entry;
  CopyName(data.cFileName, entry.name);
  entry.is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // Both halves of the size: a file of 4 GiB or more keeps its true size.
  if (!entry.is_directory) {
    entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  entry.last_write = ToFileTime(data.ftLastWriteTime);
  return entry;
}

}  // namespace velto::platform
