#include "private_status.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/path.h"
#include "platform/profile.h"
#include "status/status_profile.h"
#include "tool_error.h"
#include "velto.h"

namespace velto::tool {
namespace {

// The names the tool creates in its folder. Kept fixed so that the signal
// handler can remove them with unlink alone, which is safe in a handler.
constexpr std::array<std::string_view, 4> kFileNames{"status.ini", "input", "converted", "alias"};
constexpr std::size_t kMaxPath = 4096;

// What the signal handler removes: the paths are written once, before the
// handler is installed, and only read by it.
struct CleanupPaths {
  std::array<char, kMaxPath> folder{};
  std::array<std::array<char, kMaxPath>, kFileNames.size()> files{};
};
CleanupPaths g_cleanup;
volatile sig_atomic_t g_cleanup_armed = 0;

void RemoveFolderFiles() {
  for (const auto& file : g_cleanup.files) unlink(file.data());
  rmdir(g_cleanup.folder.data());
}

extern "C" void RemoveOnSignal(int signal_number) {
  if (g_cleanup_armed != 0) RemoveFolderFiles();
  // Die of the same signal, so the parent sees what happened.
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

void CopyInto(std::array<char, kMaxPath>& out, const std::string& text) {
  out.fill('\0');
  std::memcpy(out.data(), text.data(), std::min(text.size(), out.size() - 1));
}

void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = RemoveOnSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(signal_number, &action, nullptr);
}

std::int64_t ParseResult(const char* text) {
  std::int64_t value = 0;
  std::from_chars(text, text + std::strlen(text), value);
  return value;
}

}  // namespace

PrivateFolder::PrivateFolder() {
  std::error_code error;
  const std::filesystem::path base = std::filesystem::temp_directory_path(error);
  std::string pattern = ((error ? std::filesystem::path("/tmp") : base) / "velto-XXXXXX").string();
  // The library keeps paths in 260-byte buffers; the status file inside the
  // folder has to fit.
  if (pattern.size() + 1 + kFileNames[0].size() >= platform::kPathBufferSize) {
    throw ToolError("temporary directory path too long: " + pattern);
  }
  if (mkdtemp(pattern.data()) == nullptr) {
    throw ToolError("cannot create a private folder in " + base.string() + ": " +
                    std::strerror(errno));
  }
  path_ = pattern;
  if (g_cleanup_armed == 0) {
    CopyInto(g_cleanup.folder, path_);
    for (std::size_t i = 0; i < kFileNames.size(); ++i) {
      CopyInto(g_cleanup.files[i], path_ + "/" + std::string(kFileNames[i]));
    }
    g_cleanup_armed = 1;
    InstallSignalHandlers();
  }
}

PrivateFolder::~PrivateFolder() {
  g_cleanup_armed = 0;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string PrivateFolder::File(std::string_view name) const {
  for (const std::string_view known : kFileNames) {
    if (known == name) return path_ + "/" + std::string(name);
  }
  throw ToolError("internal error: unknown private file " + std::string(name));
}

PrivateStatus::PrivateStatus(const PrivateFolder& folder) : path_(folder.File("status.ini")) {}

void PrivateStatus::Write(const MeasureSettings& settings, std::int32_t char_set) const {
  {
    // A fresh, empty file each time: the library only updates existing files.
    std::ofstream file(path_, std::ios::binary | std::ios::trunc);
    if (!file) throw ToolError("cannot create " + path_ + ": " + std::strerror(errno));
  }
  const std::string line_length = std::to_string(settings.line_length);
  const std::string page_length = std::to_string(settings.page_length);
  const std::string char_set_text = std::to_string(char_set);
  const std::array<platform::ProfileEntry, 7> entries{{
      {"LineLength", line_length.c_str()},
      {"PageLength", page_length.c_str()},
      {"NoTop_NoHang", settings.sets.no_top_no_hang.c_str()},
      {"NoTop_Hang", settings.sets.no_top_hang.c_str()},
      {"NoEnd", settings.sets.no_end.c_str()},
      {"CharSet", char_set_text.c_str()},
      // Present and empty: no temporary file.
      {"Temporary", ""},
  }};
  const status::StatusProfile profile(path_.c_str());
  if (profile.WriteStrings(status::kSection, entries) == 0) {
    throw ToolError("cannot write the private status file " + path_);
  }
  // The sets must read back exactly as given, or the measurement would run
  // under other rules than the ones asked for.
  for (const platform::ProfileEntry& entry : entries) {
    platform::PathBuffer stored{};
    profile.ReadString(status::kSection, entry.key, stored);
    if (std::strcmp(stored, entry.value) != 0) {
      throw ToolError(std::string("the value of ") + entry.key + " cannot be stored in a status file",
                      kExitUsage);
    }
  }
}

bool PrivateStatus::Measure(const std::string& target) const {
  return GetDataStatus(target.c_str(), path_.c_str()) == 0;
}

MeasureResults PrivateStatus::ReadResults() const {
  const status::StatusProfile profile(path_.c_str());
  const auto read = [&profile](const char* key) {
    platform::PathBuffer value{};
    profile.ReadString(status::kSection, key, value);
    return ParseResult(value);
  };
  MeasureResults results;
  results.size = read("Size");
  results.crlf = read("CRLF");
  results.nocrlf = read("NoCRLF");
  results.nocrlf_noblank = read("NoCRLF_NoBLANK");
  results.line_count = read("LineCount");
  results.page_count = read("PageCount");
  results.mod_count = read("ModCount");
  return results;
}

}  // namespace velto::tool
