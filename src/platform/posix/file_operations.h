// The POSIX file operations that reading and writing a status file and
// reading a measured file rest on, as one table of functions. The library
// calls them through the table in force; a test puts in a table of its own
// to make a chosen call fail the way a full disk, a quota or a failing disk
// makes it fail (in the spirit of SQLite's test VFS), so that every error
// path can be run without root, without /proc and without filling a disk.
//
// Each entry behaves as the system call it stands for: -1 (or 0 bytes
// where noted) with errno set on failure. Only the calls whose failure
// changes an outcome are here; fstat, flock, fchmod and the like are made
// directly.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace velto::platform::posix {

struct FileOperations {
  // open(2) of an existing file (flags without O_CREAT).
  int (*open)(const char* path, int flags);
  // open(2) with O_CREAT | O_EXCL: a new file, refused when the name exists.
  int (*create)(const char* path, int flags, mode_t mode);
  ssize_t (*read)(int fd, void* buffer, std::size_t size);
  ssize_t (*write)(int fd, const void* buffer, std::size_t size);
  // fdatasync(2).
  int (*sync)(int fd);
  // Reserves room for bytes [0, length) of a file (posix_fallocate), so
  // that writes within it cannot run out of space; -1 and errno when the
  // room cannot be had. The size of the file may grow to length.
  int (*allocate)(int fd, off_t length);
  // ftruncate(2).
  int (*truncate)(int fd, off_t length);
  int (*rename)(const char* from, const char* to);
  // Exchanges two names (Linux's renameat2 with RENAME_EXCHANGE); -1 and
  // EINVAL or ENOSYS where the system or the file system cannot.
  int (*exchange)(const char* from, const char* to);
  int (*unlink)(const char* path);
  // close(2); a failure can mean that written data never reached the disk.
  int (*close)(int fd);
};

// The table in force: the system's own unless a test replaced it.
const FileOperations& Files();

// The system's own table.
const FileOperations& SystemFileOperations();

// Puts table in force (nullptr: the system's own again) and returns the
// table that was. For tests: calls already under way go on with the table
// they started with, so replace the table only while no other thread is
// inside the library. The table must outlive its time in force.
const FileOperations* ReplaceFileOperations(const FileOperations* table);

}  // namespace velto::platform::posix
