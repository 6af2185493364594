#include "platform/posix/file_operations.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace velto::platform::posix {
namespace {

int SystemOpen(const char* path, int flags) { return ::open(path, flags); }

int SystemCreate(const char* path, int flags, mode_t mode) {
  return ::open(path, flags | O_CREAT | O_EXCL, mode);
}

ssize_t SystemRead(int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }

ssize_t SystemWrite(int fd, const void* buffer, std::size_t size) {
  return ::write(fd, buffer, size);
}

int SystemSync(int fd) { return ::fdatasync(fd); }

int SystemAllocate(int fd, off_t length) {
  // posix_fallocate reports its error as its result, not in errno.
  const int error = ::posix_fallocate(fd, 0, length);
  if (error == 0) return 0;
  errno = error;
  return -1;
}

int SystemTruncate(int fd, off_t length) { return ::ftruncate(fd, length); }

int SystemRename(const char* from, const char* to) { return ::rename(from, to); }

int SystemExchange(const char* from, const char* to) {
#if defined(VELTO_HAVE_RENAMEAT2)
  return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE);
#else
  (void)from;
  (void)to;
  errno = ENOSYS;
  return -1;
#endif
}

int SystemUnlink(const char* path) { return ::unlink(path); }

int SystemClose(int fd) { return ::close(fd); }

constexpr FileOperations kSystem = {
    SystemOpen,     SystemCreate,   SystemRead,     SystemWrite,
    SystemSync,     SystemAllocate, SystemTruncate, SystemRename,
    SystemExchange, SystemUnlink,   SystemClose,
};

std::atomic<const FileOperations*> in_force{&kSystem};

}  // namespace

const FileOperations& Files() { return *in_force.load(std::memory_order_acquire); }

const FileOperations& SystemFileOperations() { return kSystem; }

const FileOperations* ReplaceFileOperations(const FileOperations* table) {
  return in_force.exchange(table == nullptr ? &kSystem : table, std::memory_order_acq_rel);
}

}  // namespace velto::platform::posix
