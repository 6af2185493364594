#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/output_file.h"

namespace velto::platform {

std::FILE* CreateRegularFile(const char* path) {
  // Opening a device can act on it by itself (a watchdog starts counting),
  // so a path that names anything but a regular file is not even opened.
  struct stat named {};
  if (stat(path, &named) == 0 && !S_ISREG(named.st_mode)) return nullptr;
  // Should the path change in between: O_NONBLOCK makes open() fail at once
  // on a fifo without a reader instead of waiting for one, and any other
  // kind of file is refused by its type right after. Only then is the file
  // emptied.
  const int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (fd < 0) return nullptr;
  struct stat info {};
  const int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || ftruncate(fd, 0) != 0) {
    close(fd);
    return nullptr;
  }
  std::FILE* stream = fdopen(fd, "wb");
  if (stream == nullptr) close(fd);
  return stream;
}

}  // namespace velto::platform
