// The text model of an INI profile: lines seen as sections, keys, comments
// and other text by byte offset, the lookup of a key, and the splice that
// sets one key while every other byte of the text stays as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velto::platform::ini {

// Blanks around names and values carry no meaning (CR counts as a blank, so
// CR LF and LF files read alike).
std::string_view TrimBlanks(std::string_view text);

// Section and key names match ASCII case-insensitively after trimming.
bool NamesMatch(std::string_view stored, std::string_view wanted);

// One pair of matching quotes (' or ") around a value is not part of it.
std::string_view Unquote(std::string_view value);

// An integer value as the profile service reads it: blanks, an optional
// sign, a base prefix (0x hexadecimal, 0o octal, 0b binary), then digits up
// to the first byte that is none; wraps modulo 2^32.
std::int32_t ParseInteger(std::string_view value);

enum class LineKind { kOther, kComment, kSection, kKey };

struct Line {
  std::size_t end = 0;  // one past the line's line feed, or the end of the text
  LineKind kind = LineKind::kOther;
  std::string_view name;        // section or key name, trimmed
  std::size_t value_begin = 0;  // a key's trimmed value, quotes included
  std::size_t value_end = 0;
};

// Splits text into lines at line feeds.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  // The next line; false at the end of the text.
  bool Next(Line& line);

 private:
  std::string_view text_;
  std::size_t offset_ = 0;
};

// Where a key stands in a text: only the first section of the wanted name
// counts, and in it only the first line of the wanted key.
struct KeyPlace {
  bool section_found = false;
  // End of the section's last key line, or of its header: where a new key
  // goes, before any blank or comment lines that close the section.
  std::size_t insert_at = 0;
  std::optional<Line> key;
};

KeyPlace LocateKey(std::string_view text, std::string_view section, std::string_view key);

// The value of key in section, trimmed and unquoted; nullopt when absent.
std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key);

// Whether section, key and value can be written as lines that read back as
// the same section and key (no line breaks, a key that is not taken for a
// comment or a header and holds no '=').
bool CanWrite(std::string_view section, std::string_view key, std::string_view value);

// Sets key in section to value: the old value is replaced in place, or the
// key is added after the section's last key, or the section and the key are
// added at the end. New lines take the text's line end (LF when it has none).
void SetValue(std::string& text, std::string_view section, std::string_view key,
              std::string_view value);

}  // namespace velto::platform::ini
