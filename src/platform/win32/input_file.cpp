#include "platform/win32/windows_api.h"

#include <algorithm>

#include "platform/input_file.h"

namespace velto::platform {
namespace {

HANDLE ToHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

static_assert(sizeof(HANDLE) == sizeof(std::intptr_t));

InputFile::~InputFile() { Close(); }

bool InputFile::Open(const char* path) {
  Close();
  // Others may keep writing or renaming the file while we read it, as they
  // may under the C runtime's own streams.
  const HANDLE file = ::CreateFileA(path, GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // A device name (CON, NUL, COM1, a pipe) opens too, and reading one could
  // block or never end: only files on disk are measured.
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return true;
}

std::ptrdiff_t InputFile::Read(void* buffer, std::size_t size) {
  if (!IsOpen()) return -1;
  // One read moves at most what a DWORD counts; the caller reads again.
  constexpr std::size_t kLargestRead = 0x4000'0000;
  const auto request = static_cast<DWORD>(std::min(size, kLargestRead));
  DWORD read = 0;
  if (::ReadFile(ToHandle(handle_), buffer, request, &read, nullptr) == 0) return -1;
  return static_cast<std::ptrdiff_t>(read);
}

void InputFile::Close() {
  if (!IsOpen()) return;
  ::CloseHandle(ToHandle(handle_));
  handle_ = kClosed;
}

}  // namespace velto::platform
