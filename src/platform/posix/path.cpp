#include <unistd.h>

#include <cstring>

#include "platform/path.h"

namespace velto::platform {

char PathSeparator() { return '/'; }

bool CurrentDirectory(PathBuffer& out) {
  std::memset(out, 0, sizeof out);
  if (getcwd(out, sizeof out) == nullptr) {
    std::memset(out, 0, sizeof out);
    return false;
  }
  return true;
}

void RemoveLastComponent(char* path) {
  char* last = std::strrchr(path, PathSeparator());
  if (last == nullptr) {
    path[0] = '\0';
    return;
  }
  // The separator of the root stays: "/s.ini" gives "/".
  last[last == path ? 1 : 0] = '\0';
}

}  // namespace velto::platform
