// A file opened for reading as raw bytes. Text-mode rules (CR LF, 0x1A) are
// applied above this layer, identically on every platform.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velto::platform {

class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens path for reading; false when it cannot be opened. Never blocks on
  // a fifo: only regular files are opened.
  bool Open(const char* path);
  bool IsOpen() const { return handle_ != kClosed; }

  // Reads up to size bytes: the count read, 0 at the end of the file, -1 on
  // an error.
  std::ptrdiff_t Read(void* buffer, std::size_t size);

  void Close();

 private:
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t handle_ = kClosed;
};

}  // namespace velto::platform
