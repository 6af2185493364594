// Path rules of the library, written once on top of the platform's
// separator byte: '/' on POSIX, '\' on Windows.
#pragma once

#include <cstddef>

namespace velto::platform {

// Every path the library keeps lives in a buffer of this many bytes,
// terminator included, so a path holds at most 259 bytes.
inline constexpr std::size_t kPathBufferSize = 260;
using PathBuffer = char[kPathBufferSize];

// The byte that separates directories on this platform.
char PathSeparator();

// A byte search for the separator. On Windows a two-byte character whose
// trail byte is 0x5C counts as a backslash, as the system's own code does.
bool ContainsSeparator(const char* path);

// The process's current directory. False (and out cleared) when it cannot
// be had or does not fit the buffer.
bool CurrentDirectory(PathBuffer& out);

// dir + separator + name. False (and out cleared) when it does not fit.
bool JoinPath(const char* dir, const char* name, PathBuffer& out);

// A path with a separator is taken as it stands; one without is completed
// with the current directory. False (and out cleared) when the result or the
// current directory does not fit.
bool ResolveAgainstCurrentDirectory(const char* path, PathBuffer& out);

// Removes the last component and the separator before it, in place; the
// separator of the root stays ("/cfg/s.ini" -> "/cfg", "/s.ini" -> "/").
// A path without a separator becomes empty.
void RemoveLastComponent(char* path);

// Copies a zero-terminated string into a path buffer. False (and out
// cleared) when it does not fit.
bool CopyPath(const char* path, PathBuffer& out);

}  // namespace velto::platform
