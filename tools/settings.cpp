#include "settings.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/path.h"
#include "status/status_profile.h"
#include "tool_error.h"
#include "transcode.h"

namespace velto::tool {
namespace {

// A status value holds at most this many bytes (the profile's 260-byte
// buffer less its terminator).
constexpr std::size_t kMaxSetBytes = platform::kPathBufferSize - 1;

struct EncodingEntry {
  std::string_view name;
  std::int32_t char_set;
};

constexpr std::array<EncodingEntry, 7> kEncodings{{
    {"sjis", kCharSetShiftJis},
    {"utf-16", kCharSetUtf16},
    {"euc-jp", kCharSetEucJp},
    {"iso-2022-jp", kCharSetIso2022Jp},
    {"utf-7", kCharSetUtf7},
    {"utf-8", kCharSetUtf8},
    // CharSet 1 and 7 are aliases of 0 and 2; a name for them is not needed.
    {"shift-jis", kCharSetShiftJis},
}};

std::string ConvertDefault(std::string_view utf8) {
  std::string bytes;
  std::string error;
  if (!Utf8ToCp932(utf8, bytes, error)) {
    std::fprintf(stderr, "velto: internal error: built-in kinsoku set: %s\n", error.c_str());
    std::abort();
  }
  return bytes;
}

// A whole decimal number; false for anything else (signs other than a
// leading minus, blanks, trailing text, overflow).
bool ParseWholeNumber(std::string_view text, std::int64_t& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// The settings a host's status file carries; absent keys take the library's
// own defaults (0, empty), just as they would for that host.
MeasureSettings ReadStatusFile(const std::string& path) {
  status::StatusProfile profile;
  if (profile.Open(path.c_str()) == 0) {
    throw UsageError("--status: cannot find status file " + Quoted(path));
  }
  MeasureSettings settings;
  const auto read_int = [&profile](const char* key) {
    std::int32_t value = 0;
    profile.ReadInt(status::kSection, key, value);
    return value;
  };
  const auto read_string = [&profile](const char* key) {
    platform::PathBuffer value{};
    profile.ReadString(status::kSection, key, value);
    return std::string(value);
  };
  settings.line_length = read_int("LineLength");
  // The library raises 1 to 9 to 10; showing the raised value keeps the
  // heading true, and measures the same.
  if (settings.line_length >= 1 && settings.line_length <= 9) settings.line_length = 10;
  settings.page_length = read_int("PageLength");
  settings.char_set = read_int("CharSet");
  settings.sets.no_top_no_hang = read_string("NoTop_NoHang");
  settings.sets.no_top_hang = read_string("NoTop_Hang");
  settings.sets.no_end = read_string("NoEnd");
  return settings;
}

}  // namespace

const KinsokuSets& DefaultKinsokuSets() {
  static const KinsokuSets sets{ConvertDefault(kDefaultNoTopNoHangUtf8),
                                ConvertDefault(kDefaultNoTopHangUtf8),
                                ConvertDefault(kDefaultNoEndUtf8)};
  return sets;
}

std::optional<std::int32_t> ParseEncoding(std::string_view text) {
  if (text == "auto") return std::nullopt;
  for (const EncodingEntry& entry : kEncodings) {
    if (entry.name == text) return entry.char_set;
  }
  std::int64_t number = 0;
  if (ParseWholeNumber(text, number) && number >= 0 && number < kCharSetCount) {
    return static_cast<std::int32_t>(number);
  }
  throw UsageError("--encoding: unknown encoding " + Quoted(text) +
                   " (auto, sjis, utf-16, euc-jp, iso-2022-jp, utf-7, utf-8 or 0 to 7)");
}

std::string_view EncodingName(std::int32_t char_set) {
  switch (char_set) {
    case 0:
    case 1:
      return "sjis";
    case 2:
    case 7:
      return "utf-16";
    case kCharSetEucJp:
      return "euc-jp";
    case kCharSetIso2022Jp:
      return "iso-2022-jp";
    case kCharSetUtf7:
      return "utf-7";
    case kCharSetUtf8:
      return "utf-8";
    default:
      // The library reads any other CharSet as Shift-JIS.
      return "sjis";
  }
}

std::int32_t ParseLineLength(std::string_view text) {
  std::int64_t value = 0;
  if (!ParseWholeNumber(text, value) || value < 0 ||
      value > std::numeric_limits<std::int32_t>::max()) {
    throw UsageError("--line-length: " + Quoted(text) + " is not a character count");
  }
  // The library raises 1 to 9 to 10 without a word; refusing them here keeps
  // the layout the user sees equal to the one that is measured.
  if (value >= 1 && value <= 9) {
    throw UsageError("--line-length: " + std::string(text) +
                     " is too short; use 0 (no wrapping) or 10 and more");
  }
  return static_cast<std::int32_t>(value);
}

std::int32_t ParsePageLength(std::string_view text) {
  std::int64_t value = 0;
  if (!ParseWholeNumber(text, value) || value < 0 ||
      value > std::numeric_limits<std::int32_t>::max()) {
    throw UsageError("--page-length: " + Quoted(text) + " is not a line count (0 for no paging)");
  }
  return static_cast<std::int32_t>(value);
}

std::string ParseCharacterSet(std::string_view option, std::string_view utf8) {
  std::string bytes;
  std::string error;
  if (!Utf8ToCp932(utf8, bytes, error)) {
    throw UsageError(std::string(option) + ": " + error);
  }
  for (const char byte : bytes) {
    // A status value is one line of text: a control character cannot be
    // stored in it.
    if (static_cast<unsigned char>(byte) < 0x20) {
      throw UsageError(std::string(option) + ": control characters cannot be kinsoku characters");
    }
  }
  if (bytes.size() > kMaxSetBytes) {
    throw UsageError(std::string(option) + ": too many characters (at most " +
                     std::to_string(kMaxSetBytes) + " bytes in Shift-JIS)");
  }
  return bytes;
}

MeasureSettings ResolveSettings(const LayoutOptions& options) {
  MeasureSettings settings;
  if (options.status_file) {
    settings = ReadStatusFile(*options.status_file);
  } else {
    settings.sets = DefaultKinsokuSets();
  }
  if (options.no_kinsoku) settings.sets = KinsokuSets{};
  if (options.line_length) settings.line_length = ParseLineLength(*options.line_length);
  if (options.page_length) settings.page_length = ParsePageLength(*options.page_length);
  if (options.no_top) settings.sets.no_top_no_hang = ParseCharacterSet("--no-top", *options.no_top);
  if (options.hang) settings.sets.no_top_hang = ParseCharacterSet("--hang", *options.hang);
  if (options.no_end) settings.sets.no_end = ParseCharacterSet("--no-end", *options.no_end);
  // Without --encoding: the status file's CharSet, else detection.
  if (options.encoding) settings.char_set = ParseEncoding(*options.encoding);
  return settings;
}

}  // namespace velto::tool
