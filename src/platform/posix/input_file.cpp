#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/input_file.h"
#include "platform/posix/file_operations.h"

namespace velto::platform {

InputFile::~InputFile() { Close(); }

bool InputFile::Open(const char* path) {
  Close();
  // O_NONBLOCK keeps open() from waiting for a writer when path is a fifo;
  // such a file is refused right after, by its type.
  const int fd = posix::Files().open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat info {};
  const int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    posix::Files().close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

std::ptrdiff_t InputFile::Read(void* buffer, std::size_t size) {
  if (!IsOpen()) return -1;
  for (;;) {
    const ssize_t count = posix::Files().read(static_cast<int>(handle_), buffer, size);
    if (count >= 0 || errno != EINTR) return count;
  }
}

void InputFile::Close() {
  if (!IsOpen()) return;
  posix::Files().close(static_cast<int>(handle_));
  handle_ = kClosed;
}

}  // namespace velto::platform
