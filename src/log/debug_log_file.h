// The optional debug log of one measurement: one timestamped line per event,
// "YYYY/MM/DD hh:mm:ss.mmm || message", each ending in CR LF. An empty path
// means logging is off. The file is created (or emptied) only when the first
// line is written, so a measurement that logs nothing leaves an earlier log
// as it was; a failure to open or write only turns logging off.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "platform/clock.h"
#include "platform/path.h"

namespace velto::log {

// Room for the 27-byte line prefix "YYYY/MM/DD hh:mm:ss.mmm || ", with
// spare room so that a year past 9999 is written whole.
using TimestampText = std::array<char, 48>;

// Formats the prefix of a log line for a local time into text and returns
// the part written.
std::string_view FormatTimestamp(const platform::CalendarTime& time, TimestampText& text);

class DebugLogFile {
 public:
  DebugLogFile() = default;
  ~DebugLogFile() { Close(); }
  DebugLogFile(const DebugLogFile&) = delete;
  DebugLogFile& operator=(const DebugLogFile&) = delete;

  // Arms the log with path; a path without a separator is taken from the
  // current directory. An empty path, or one that does not fit 259 bytes
  // once resolved, turns logging off. Nothing is opened yet: the file is
  // created (or emptied) by the first line.
  void SetPath(const char* path);

  // The two events a measurement logs: the file it opened, and the
  // character count of each line it counted. Each is one timestamped line;
  // they cost nothing but a test when logging is off, and a failure to open
  // or write turns logging off for good.
  void LogTargetFile(const char* path);
  void LogCharacterCount(std::int64_t count);

  // Closes the stream, writing out buffered lines. The path stays.
  void Close();

  // The resolved path; empty when logging is off.
  const char* path() const { return path_; }

 private:
  bool IsOff() const { return path_[0] == '\0'; }
  void TurnOff();
  // Timestamp, then head and tail of the message, as one line.
  void LogPieces(std::string_view head, std::string_view tail);
  bool OpenStream();

  std::FILE* stream_ = nullptr;
  platform::PathBuffer path_{};
};

}  // namespace velto::log
