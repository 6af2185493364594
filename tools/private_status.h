// The tool measures through the library's own export, with a status file of
// its own in a fresh private folder. Nothing the tool measures can then be
// swapped for a temporary file lying beside the user's files, and a user's
// status file is never written by a count.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "settings.h"

namespace velto::tool {

// A folder made with mkdtemp under the temporary directory, removed with
// everything the tool put in it when the object goes, and also when the
// process is stopped by SIGINT, SIGTERM, SIGHUP or SIGPIPE (output piped
// into a pager that quits). One at a time.
class PrivateFolder {
 public:
  PrivateFolder();
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  const std::string& path() const { return path_; }

  // The path of a file of this folder; the file is removed with the folder.
  // Only the few fixed names the tool uses are accepted.
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

// What GetDataStatus wrote back.
struct MeasureResults {
  std::int64_t size = 0;
  std::int64_t crlf = 0;
  std::int64_t nocrlf = 0;
  std::int64_t nocrlf_noblank = 0;
  std::int64_t line_count = 0;
  std::int64_t page_count = 0;
  std::int64_t mod_count = 0;
};

class PrivateStatus {
 public:
  explicit PrivateStatus(const PrivateFolder& folder);

  // Writes a fresh status file: the layout, the kinsoku sets, the CharSet
  // and an empty Temporary (no temporary file is ever looked for). Throws a
  // ToolError when a value does not survive the trip through the file.
  void Write(const MeasureSettings& settings, std::int32_t char_set) const;

  const std::string& path() const { return path_; }

  // GetDataStatus on target with this status file; false when it failed.
  bool Measure(const std::string& target) const;

  MeasureResults ReadResults() const;

 private:
  std::string path_;
};

}  // namespace velto::tool
