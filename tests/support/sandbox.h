// Every test that touches files gets a fresh folder of its own, removed
// again when the test ends, so tests never share files and never depend on
// the current directory.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velto::testing {

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::filesystem::path& root() const { return root_; }
  // Absolute path of name inside the sandbox, as a string.
  std::string Path(std::string_view name) const;
  // Writes bytes to name (creating folders on the way) and returns its path.
  std::string Write(std::string_view name, std::string_view bytes) const;
  // The whole content of a file; empty when it cannot be read.
  static std::string Read(const std::string& path);

 private:
  std::filesystem::path root_;
};

// The names in a folder, sorted, so that a test can see that nothing was
// left or created beside the files it expects.
std::vector<std::string> FolderNames(const std::filesystem::path& folder);

// Changes the current directory for one scope.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::filesystem::path& directory);
  ~ScopedCurrentDirectory();
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace velto::testing
