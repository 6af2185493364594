// The one folder a fuzz target may touch: made once per process under the
// system's temporary directory, emptied before every input and removed at
// exit. Inputs never get to name a path outside it.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace velto::fuzz {

class PrivateFolder {
 public:
  PrivateFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    root_ = pattern;
  }
  ~PrivateFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  // Removes whatever the previous input left behind (symbolic links are
  // removed, never followed).
  void Empty() const {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(root_, ignored)) {
      std::filesystem::remove_all(entry.path(), ignored);
    }
  }

  std::string Path(std::string_view name) const { return (root_ / name).string(); }

  // Whether a leftover of a profile update (".velto-" and six characters)
  // is in the folder; `other` is a name the input itself gave a file.
  bool HoldsReplacementFile(std::string_view other = {}) const {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(root_, ignored)) {
      const std::string name = entry.path().filename().string();
      if (name.size() == 13 && name.starts_with(".velto-") && name != other) return true;
    }
    return false;
  }

 private:
  std::filesystem::path root_;
};

// Writes bytes to path, replacing what was there.
inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::abort();
  if (std::fclose(file) != 0) std::abort();
}

// Stops the run with a message: libFuzzer saves the input that got here.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "velto fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace velto::fuzz
