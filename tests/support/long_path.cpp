#include "support/long_path.h"

#include <filesystem>

namespace velto::testing {

std::string PathOfLength(const Sandbox& box, std::size_t length) {
  std::string path = box.root().string();
  // Folder names of 99 bytes keep every component far below NAME_MAX.
  while (length - path.size() > 101) path += "/" + std::string(99, 'd');
  std::filesystem::create_directories(path);
  path += "/" + std::string(length - path.size() - 1, 'f');
  return path;
}

}  // namespace velto::testing
