// One measurement of one target file: the settings read from the status
// file, the temporary file and debug log it names, and the status profile
// the results go to. Built on the caller's stack for one status call.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "log/debug_log_file.h"
#include "measure/line_wrap.h"
#include "platform/path.h"
#include "status/status_profile.h"

namespace velto::measure {

// The code page of each CharSet; 0 marks UTF-16 little-endian, read as
// 16-bit units in binary mode.
inline constexpr std::array<std::int32_t, 8> kCodePageTable = {932,   932,   0,     20932,
                                                               50220, 65000, 65001, 0};
// What code_page() gives for a CharSet outside the table.
inline constexpr std::int32_t kUnknownCodePage = -1;

// Bytes of each line-break character set, terminator included.
inline constexpr std::size_t kCharacterSetSize = 512;
using CharacterSet = char[kCharacterSetSize];

class TextCounter {
 public:
  // Loads the settings of status_path at once (LoadSettings); a counter whose
  // status file cannot be opened is left unloaded and fails every
  // measurement, as its profile is not valid.
  explicit TextCounter(const char* status_path);
  // Closes the debug log (the log's own destructor does it).
  ~TextCounter() = default;
  // The line-break settings point into the counter, so it never moves.
  TextCounter(const TextCounter&) = delete;
  TextCounter& operator=(const TextCounter&) = delete;

  // Reads every setting from the status file, resolves the temporary file
  // and the debug log, and sets the seven result keys to 0. 1 when the
  // status file was opened, else 0 (nothing else is set then).
  int LoadSettings(const char* status_path);

  const status::StatusProfile& profile() const { return profile_; }
  log::DebugLogFile& log() { return log_; }
  // The temporary file when one exists after set-up, else empty; the
  // measurement puts the target here when it is empty.
  platform::PathBuffer& measured_path() { return measured_path_; }
  const char* measured_path() const { return measured_path_; }
  const char* debug_log_path() const { return debug_log_path_; }

  std::int32_t char_set() const { return char_set_; }
  // The code page of char_set(), or kUnknownCodePage outside the table.
  std::int32_t code_page() const;
  std::uint32_t line_length() const { return line_length_; }
  std::uint32_t page_length() const { return page_length_; }
  std::uint32_t backoff_limit() const { return backoff_limit_; }
  const char* no_top_set() const { return no_top_set_; }
  const char* hang_set() const { return hang_set_; }
  const char* no_end_set() const { return no_end_set_; }
  LineBreakSettings line_break_settings() const;

  // Whether set-up's zeros reached the status file. A status call whose
  // writes were refused reports failure even when the measurement ran.
  bool zeros_written() const { return zeros_written_; }

 private:
  void LoadCharacterSets();
  void LoadLengths();
  void ResolveTemporaryFile(const char* settings_directory);
  void ResolveDebugLog(const char* settings_directory);
  void WriteZeroResults();

  status::StatusProfile profile_;
  log::DebugLogFile log_;
  platform::PathBuffer measured_path_{};
  std::int32_t char_set_ = 0;
  std::uint32_t line_length_ = 0;
  std::uint32_t page_length_ = 0;
  std::uint32_t backoff_limit_ = 0;
  CharacterSet no_top_set_{};  // NoTop_NoHang, then NoTop_Hang
  CharacterSet hang_set_{};    // NoTop_Hang
  CharacterSet no_end_set_{};  // NoEnd
  platform::PathBuffer debug_log_path_{};
  bool zeros_written_ = false;
};

}  // namespace velto::measure
