// The layout a measurement runs under, from the command line or a user's
// status file, in the form the library reads it (code page 932 sets,
// CharSet numbers).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "velto/measure.hpp"

namespace velto::tool {

// The 400-character manuscript page the tool measures by when nothing else
// is asked for.
inline constexpr std::uint32_t kDefaultLineLength = 20;
inline constexpr std::uint32_t kDefaultPageLength = 20;

// Built-in kinsoku classes, as UTF-8 text: the characters of the W3C
// Japanese layout classes that code page 932 can express.
// May not begin a line and may not hang (closing brackets, small kana,
// iteration marks, the long vowel mark, middle dots, ? and !).
inline constexpr std::string_view kDefaultNoTopNoHangUtf8 =
    "」』）］｝〕〉》】’”〟‐～？！・：；ヽヾゝゞ々ー"
    "ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ"
    "｣･ｰﾞﾟｧｨｩｪｫｬｭｮｯ)]}?!:;";
// May not begin a line but may hang past the margin (commas, full stops).
inline constexpr std::string_view kDefaultNoTopHangUtf8 = "、。，．､｡,.";
// May not end a line (opening brackets).
inline constexpr std::string_view kDefaultNoEndUtf8 = "「『（［｛〔〈《【‘“〝｢([{";

// The manuscript page with the built-in classes converted to code page 932
// (converted once; a character that would not convert is a defect of the
// tool and aborts).
const Settings& DefaultLayout();

// What the command line says about the layout; every field is the text the
// user typed (UTF-8), unset when the option was not given.
struct LayoutOptions {
  std::optional<std::string> line_length;
  std::optional<std::string> page_length;
  std::optional<std::string> no_top;
  std::optional<std::string> hang;
  std::optional<std::string> no_end;
  bool no_kinsoku = false;
  std::optional<std::string> status_file;
  std::optional<std::string> encoding;
  std::optional<std::string> markup;
  bool aozora_body_only = false;
};

// The settings of a count: the layout, and the encoding files are read in;
// unset means: detect it for each file.
struct MeasureSettings {
  Settings layout;
  std::optional<CharSet> char_set;
};

// Combines the options with the defaults (or with the user's status file
// when --status names one; explicit options still win). Throws a usage
// ToolError with a one-line message for a bad value.
MeasureSettings ResolveSettings(const LayoutOptions& options);

// "auto" gives nullopt; a name or a number 0 to 7 gives the CharSet.
// Throws a usage ToolError for anything else.
std::optional<CharSet> ParseEncoding(std::string_view text);

// "none", "aozora", "web" or "pixiv". Throws a usage ToolError for anything
// else.
Markup ParseMarkup(std::string_view text);
std::string_view MarkupName(Markup markup);

// The name the tool shows for a CharSet ("sjis", "utf-16", ...).
std::string_view EncodingName(CharSet char_set);

// A line length the library takes as given: 0 (no wrapping) or 10 and
// more. Throws a usage ToolError otherwise.
std::uint32_t ParseLineLength(std::string_view text);
// Display lines per page: 0 (no paging) or more. Throws a usage ToolError otherwise.
std::uint32_t ParsePageLength(std::string_view text);
// A kinsoku set given in UTF-8, converted to code page 932; option names the
// option for the message. Throws a usage ToolError for a character that
// has no code page 932 form or a set that does not fit a status value.
std::string ParseCharacterSet(std::string_view option, std::string_view utf8);

}  // namespace velto::tool
