// The file a debug log writes to. Its path comes from a status file that
// anyone may have written, so it must only ever be a regular file: a fifo
// would block the measurement until some reader came, and a device (a disk,
// a terminal, a serial line) would take the log lines as data.
#pragma once

#include <cstdio>

namespace velto::platform {

// Opens path as a binary output stream, created when it is missing and
// emptied when it is not. nullptr when path
// names anything but a regular file (a fifo, a socket, a device, a
// directory) or cannot be opened; never waits for the other end of a pipe.
std::FILE* CreateRegularFile(const char* path);

}  // namespace velto::platform
