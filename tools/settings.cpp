#include "settings.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "tool_error.h"
#include "transcode.h"

namespace velto::tool {
namespace {

// A set given on the command line could also be written into a status file,
// whose values hold at most 259 bytes.
constexpr std::size_t kMaxSetBytes = 259;
// The numbers --encoding takes: the CharSet numbers of a status file.
constexpr std::int64_t kCharSetNumbers = 8;

struct EncodingEntry {
  std::string_view name;
  CharSet char_set;
};

constexpr std::array<EncodingEntry, 7> kEncodings{{
    {"sjis", CharSet::kShiftJis},
    {"utf-16", CharSet::kUtf16},
    {"euc-jp", CharSet::kEucJp},
    {"iso-2022-jp", CharSet::kIso2022Jp},
    {"utf-7", CharSet::kUtf7},
    {"utf-8", CharSet::kUtf8},
    // CharSet 1 and 7 are aliases of 0 and 2; a name for them is not needed.
    {"shift-jis", CharSet::kShiftJis},
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

// The settings a host's status file carries, read as the library reads them
// for that host (LineLength 1 to 9 counts as 10, absent keys are 0 or empty).
MeasureSettings ReadStatusFile(const std::string& path) {
  const std::optional<Settings> settings = ReadStatusSettings(path);
  if (!settings) throw UsageError("--status: cannot find status file " + Quoted(path));
  return {*settings, settings->char_set};
}

}  // namespace

const Settings& DefaultLayout() {
  static const Settings layout = [] {
    Settings settings;
    settings.line_length = kDefaultLineLength;
    settings.page_length = kDefaultPageLength;
    settings.no_top_no_hang = ConvertDefault(kDefaultNoTopNoHangUtf8);
    settings.no_top_hang = ConvertDefault(kDefaultNoTopHangUtf8);
    settings.no_end = ConvertDefault(kDefaultNoEndUtf8);
    return settings;
  }();
  return layout;
}

std::optional<CharSet> ParseEncoding(std::string_view text) {
  if (text == "auto") return std::nullopt;
  for (const EncodingEntry& entry : kEncodings) {
    if (entry.name == text) return entry.char_set;
  }
  std::int64_t number = 0;
  if (ParseWholeNumber(text, number) && number >= 0 && number < kCharSetNumbers) {
    return static_cast<CharSet>(number);
  }
  throw UsageError("--encoding: unknown encoding " + Quoted(text) +
                   " (auto, sjis, utf-16, euc-jp, iso-2022-jp, utf-7, utf-8 or 0 to 7)");
}

constexpr std::array<Markup, 4> kMarkups = {Markup::kNone, Markup::kAozora, Markup::kWeb,
                                            Markup::kPixiv};

Markup ParseMarkup(std::string_view text) {
  for (const Markup markup : kMarkups) {
    if (MarkupName(markup) == text) return markup;
  }
  throw UsageError("--markup: unknown markup " + Quoted(text) + " (none, aozora, web or pixiv)");
}

std::string_view MarkupName(Markup markup) {
  switch (markup) {
    case Markup::kAozora: return "aozora";
    case Markup::kWeb: return "web";
    case Markup::kPixiv: return "pixiv";
    case Markup::kNone: break;
  }
  return "none";
}

std::string_view EncodingName(CharSet char_set) {
  switch (char_set) {
    case CharSet::kUtf16:
    case CharSet::kUtf16Too:
      return "utf-16";
    case CharSet::kEucJp:
      return "euc-jp";
    case CharSet::kIso2022Jp:
      return "iso-2022-jp";
    case CharSet::kUtf7:
      return "utf-7";
    case CharSet::kUtf8:
      return "utf-8";
    default:
      // 0, 1, and any other number, which the library reads as Shift-JIS.
      return "sjis";
  }
}

std::uint32_t ParseLineLength(std::string_view text) {
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
  return static_cast<std::uint32_t>(value);
}

std::uint32_t ParsePageLength(std::string_view text) {
  std::int64_t value = 0;
  if (!ParseWholeNumber(text, value) || value < 0 ||
      value > std::numeric_limits<std::int32_t>::max()) {
    throw UsageError("--page-length: " + Quoted(text) + " is not a line count (0 for no paging)");
  }
  return static_cast<std::uint32_t>(value);
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
  MeasureSettings settings{DefaultLayout(), std::nullopt};
  if (options.status_file) settings = ReadStatusFile(*options.status_file);
  Settings& layout = settings.layout;
  if (options.no_kinsoku) layout.no_top_no_hang = layout.no_top_hang = layout.no_end = "";
  if (options.line_length) layout.line_length = ParseLineLength(*options.line_length);
  if (options.page_length) layout.page_length = ParsePageLength(*options.page_length);
  if (options.no_top) layout.no_top_no_hang = ParseCharacterSet("--no-top", *options.no_top);
  if (options.hang) layout.no_top_hang = ParseCharacterSet("--hang", *options.hang);
  if (options.no_end) layout.no_end = ParseCharacterSet("--no-end", *options.no_end);
  // Without --encoding: the status file's CharSet, else detection.
  if (options.encoding) settings.char_set = ParseEncoding(*options.encoding);
  if (options.markup) layout.markup = ParseMarkup(*options.markup);
  if (options.aozora_body_only && layout.markup != Markup::kAozora) {
    throw UsageError("--aozora-body-only: only with --markup aozora");
  }
  layout.aozora_body_only = options.aozora_body_only;
  return settings;
}

}  // namespace velto::tool
