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

#include "platform/find.h"
#include "platform/path.h"

namespace velto::log {

// Room for the 27-byte line prefix "YYYY/MM/DD hh:mm:ss.mmm || ", with
// spare room so that a year past 9999 is written whole.
using TimestampText = std::array<char, 48>;

// Formats the prefix of a log line for a local time into text and returns
// the part written.
std::string_view FormatTimestamp(const platform::CalendarTime& time, TimestampText& text);

// Off: no path. Armed: a path, file not yet opened. Writing: file open.
// Failed: a write failed; the stream stays open until Close releases it.
enum class LogState { kOff, kArmed, kWriting, kFailed };

class DebugLogFile {
 public:
  DebugLogFile() = default;
  ~DebugLogFile() { Close(); }
  DebugLogFile(const DebugLogFile&) = delete;
  DebugLogFile& operator=(const DebugLogFile&) = delete;

  // Arms the log with path; a path without a separator is taken from the
  // current directory. An empty path, or one that does not fit 259 bytes
  // once resolved, turns logging off. The stream is not touched.
  void SetPath(const char* path);
  // SetPath, then stores the open mode: "w" (create or empty the file) or
  // "a" (append). Any other mode text turns logging off, since the log could
  // not be opened as the caller asked.
  void SetPathAndMode(const char* path, const char* mode);

  // Writes text and a line end, opening the file on first use. 1 when the
  // line was written or logging is off; 0 when the file cannot be opened or
  // the write fails (logging is then off for good).
  int WriteLine(const char* text);
  // Writes one timestamped line. 1 when logging is off or the line was
  // written, else 0. The clock is read only when logging is on.
  int Log(const char* message);

  // The two events a measurement logs; both return as Log does and cost
  // nothing but a test when logging is off.
  int LogTargetFile(const char* path);
  int LogCharacterCount(std::int64_t count);

  // Closes the stream, writing out buffered lines. The path and mode stay.
  void Close();

  LogState state() const;
  const char* path() const { return path_; }
  const char* mode() const { return mode_; }

 private:
  bool IsOff() const { return path_[0] == '\0'; }
  void TurnOff();
  // Timestamp, then head and tail of the message.
  int LogPieces(std::string_view head, std::string_view tail);
  // The pieces one after another as one line, then the line end.
  int WritePieces(std::string_view timestamp, std::string_view head, std::string_view tail);
  bool OpenStream();

  std::FILE* stream_ = nullptr;
  platform::PathBuffer path_{};
  char mode_[2] = {'w', '\0'};
};

}  // namespace velto::log
