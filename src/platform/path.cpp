#include "platform/path.h"

#include <cstring>

namespace velto::platform {

bool ContainsSeparator(const char* path) {
  return std::strchr(path, PathSeparator()) != nullptr;
}

bool CopyPath(const char* path, PathBuffer& out) {
  const std::size_t length = std::strlen(path);
  std::memset(out, 0, sizeof out);
  if (length >= sizeof out) return false;
  std::memcpy(out, path, length);
  return true;
}

bool JoinPath(const char* dir, const char* name, PathBuffer& out) {
  const std::size_t dir_length = std::strlen(dir);
  const std::size_t name_length = std::strlen(name);
  std::memset(out, 0, sizeof out);
  if (dir_length + 1 + name_length >= sizeof out) return false;
  std::memcpy(out, dir, dir_length);
  out[dir_length] = PathSeparator();
  std::memcpy(out + dir_length + 1, name, name_length);
  return true;
}

bool ResolveAgainstCurrentDirectory(const char* path, PathBuffer& out) {
  if (ContainsSeparator(path)) return CopyPath(path, out);
  PathBuffer directory{};
  if (!CurrentDirectory(directory)) {
    std::memset(out, 0, sizeof out);
    return false;
  }
  return JoinPath(directory, path, out);
}

}  // namespace velto::platform
