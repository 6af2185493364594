#include "log/debug_log_file.h"

#include <array>
#include <charconv>
#include <cstring>

#include "platform/output_file.h"

namespace velto::log {
namespace {

// "対象ファイル : " (target file) in code page 932.
constexpr std::string_view kTargetFilePrefix =
    "\x91\xce\x8f\xdb\x83\x74\x83\x40\x83\x43\x83\x8b : ";
constexpr std::string_view kCharacterCountPrefix = "dwCharacterCount : ";

constexpr std::string_view kLineEnd = "\r\n";

char* AppendText(char* out, char* end, std::string_view text) {
  for (char c : text) {
    if (out == end) break;
    *out++ = c;
  }
  return out;
}

// Appends value in decimal, zero-padded to width digits.
char* AppendPadded(char* out, char* end, int value, std::size_t width) {
  std::array<char, 12> digits{};
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  const std::string_view text(digits.data(), static_cast<std::size_t>(result.ptr - digits.data()));
  for (std::size_t pad = text.size(); pad < width && out < end; ++pad) *out++ = '0';
  return AppendText(out, end, text);
}

bool WriteRaw(std::FILE* stream, std::string_view bytes) {
  // An empty view may carry no buffer at all, which fwrite must not see.
  if (bytes.empty()) return true;
  return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
}

// The log is a text file with CR LF line ends on every platform, so a line
// feed inside a message becomes CR LF as well, as a text-mode stream would
// write it.
bool WriteText(std::FILE* stream, std::string_view text) {
  for (;;) {
    const std::size_t feed = text.find('\n');
    if (feed == std::string_view::npos) return WriteRaw(stream, text);
    if (!WriteRaw(stream, text.substr(0, feed)) || !WriteRaw(stream, kLineEnd)) return false;
    text.remove_prefix(feed + 1);
  }
}

}  // namespace

std::string_view FormatTimestamp(const platform::CalendarTime& time, TimestampText& text) {
  char* out = text.data();
  char* const end = text.data() + text.size();
  out = AppendPadded(out, end, time.year, 4);
  out = AppendText(out, end, "/");
  out = AppendPadded(out, end, time.month, 2);
  out = AppendText(out, end, "/");
  out = AppendPadded(out, end, time.day, 2);
  out = AppendText(out, end, " ");
  out = AppendPadded(out, end, time.hour, 2);
  out = AppendText(out, end, ":");
  out = AppendPadded(out, end, time.minute, 2);
  out = AppendText(out, end, ":");
  out = AppendPadded(out, end, time.second, 2);
  out = AppendText(out, end, ".");
  out = AppendPadded(out, end, time.millisecond, 3);
  out = AppendText(out, end, " || ");
  return {text.data(), static_cast<std::size_t>(out - text.data())};
}

void DebugLogFile::SetPath(const char* path) {
  TurnOff();
  if (path == nullptr || path[0] == '\0') return;
  // A path that cannot be resolved within the buffer leaves the log off.
  platform::ResolveAgainstCurrentDirectory(path, path_);
}

void DebugLogFile::LogTargetFile(const char* path) {
  if (IsOff()) return;
  LogPieces(kTargetFilePrefix, path == nullptr ? std::string_view() : path);
}

void DebugLogFile::LogCharacterCount(std::int64_t count) {
  if (IsOff()) return;
  std::array<char, 21> digits{};
  const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), count);
  LogPieces(kCharacterCountPrefix,
            {digits.data(), static_cast<std::size_t>(result.ptr - digits.data())});
}

void DebugLogFile::Close() {
  if (stream_ == nullptr) return;
  std::fclose(stream_);
  stream_ = nullptr;
}

void DebugLogFile::TurnOff() { std::memset(path_, 0, sizeof path_); }

void DebugLogFile::LogPieces(std::string_view head, std::string_view tail) {
  if (stream_ == nullptr && !OpenStream()) {
    TurnOff();
    return;
  }
  TimestampText timestamp{};
  // Buffered like any stream: lines reach the file at the latest on Close.
  const bool written = WriteText(stream_, FormatTimestamp(platform::LocalTimeNow(), timestamp)) &&
                       WriteText(stream_, head) && WriteText(stream_, tail) &&
                       WriteRaw(stream_, kLineEnd);
  if (!written) TurnOff();
}

bool DebugLogFile::OpenStream() {
  // Binary, since the CR of each line end is written by us. Only a regular
  // file is ever a log: a fifo named as one would block the measurement.
  stream_ = platform::CreateRegularFile(path_);
  return stream_ != nullptr;
}

}  // namespace velto::log
