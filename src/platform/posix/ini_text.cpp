#include "platform/posix/ini_text.h"

namespace velto::platform::ini {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The value of one digit in bases up to 36, or 36 for a byte that is none.
unsigned DigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  const char lower = AsciiLower(c);
  if (lower >= 'a' && lower <= 'z') return static_cast<unsigned>(lower - 'a' + 10);
  return 36;
}

// The base a "0x", "0o" or "0b" prefix selects at the start of text, or 10
// (and no prefix) otherwise.
unsigned TakeBasePrefix(std::string_view& text) {
  if (text.size() < 2 || text[0] != '0') return 10;
  unsigned base = 10;
  switch (text[1]) {
    case 'x': base = 16; break;
    case 'o': base = 8; break;
    case 'b': base = 2; break;
    default: return 10;
  }
  text.remove_prefix(2);
  return base;
}

// The line end new lines get: the text's first one, LF when it has none.
std::string_view LineEndOf(std::string_view text) {
  const std::size_t feed = text.find('\n');
  if (feed != std::string_view::npos && feed > 0 && text[feed - 1] == '\r') return "\r\n";
  return "\n";
}

// Inserts whole lines at offset, an offset where a line begins or the end
// of the text. A text whose last line has no line end keeps it that way:
// the line end then goes before the new lines instead of after them.
void InsertLines(std::string& text, std::size_t offset, std::string_view lines) {
  const std::string_view line_end = LineEndOf(text);
  std::string inserted;
  if (offset == text.size() && !text.empty() && text.back() != '\n') {
    inserted.append(line_end).append(lines);
  } else {
    inserted.append(lines).append(line_end);
  }
  text.insert(offset, inserted);
}

Line ClassifyLine(std::string_view text, std::size_t begin, std::size_t end) {
  Line line;
  line.end = end;
  std::string_view content = text.substr(begin, end - begin);
  if (!content.empty() && content.back() == '\n') content.remove_suffix(1);
  content = TrimBlanks(content);
  if (content.empty()) return line;
  if (content.front() == ';') {
    line.kind = LineKind::kComment;
    return line;
  }
  const std::size_t close = content.rfind(']');
  if (content.front() == '[' && close != std::string_view::npos) {
    line.kind = LineKind::kSection;
    line.name = TrimBlanks(content.substr(1, close - 1));
    return line;
  }
  const std::size_t equals = content.find('=');
  if (equals == std::string_view::npos) return line;
  line.kind = LineKind::kKey;
  line.name = TrimBlanks(content.substr(0, equals));
  const std::size_t content_begin = static_cast<std::size_t>(content.data() - text.data());
  line.value_end = content_begin + content.size();
  const std::string_view value = TrimBlanks(content.substr(equals + 1));
  // An empty value sits right after the '=' (the blanks after it were cut
  // off as trailing blanks of the line).
  line.value_begin = value.empty() ? content_begin + equals + 1
                                   : static_cast<std::size_t>(value.data() - text.data());
  return line;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool NamesMatch(std::string_view stored, std::string_view wanted) {
  stored = TrimBlanks(stored);
  wanted = TrimBlanks(wanted);
  if (stored.size() != wanted.size()) return false;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (AsciiLower(stored[i]) != AsciiLower(wanted[i])) return false;
  }
  return true;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::int32_t ParseInteger(std::string_view value) {
  while (!value.empty() && static_cast<unsigned char>(value.front()) <= ' ') value.remove_prefix(1);
  bool negative = false;
  if (!value.empty() && (value.front() == '+' || value.front() == '-')) {
    negative = value.front() == '-';
    value.remove_prefix(1);
  }
  const unsigned base = TakeBasePrefix(value);
  std::uint32_t total = 0;
  for (const char c : value) {
    const unsigned digit = DigitValue(c);
    if (digit >= base) break;
    total = total * base + digit;
  }
  if (negative) total = 0u - total;
  return static_cast<std::int32_t>(total);
}

bool LineReader::Next(Line& line) {
  if (offset_ >= text_.size()) return false;
  const std::size_t feed = text_.find('\n', offset_);
  const std::size_t end = feed == std::string_view::npos ? text_.size() : feed + 1;
  line = ClassifyLine(text_, offset_, end);
  offset_ = end;
  return true;
}

KeyPlace LocateKey(std::string_view text, std::string_view section, std::string_view key) {
  KeyPlace place;
  LineReader reader(text);
  Line line;
  bool inside = false;
  while (reader.Next(line)) {
    if (line.kind == LineKind::kSection) {
      if (inside) break;
      if (!place.section_found && NamesMatch(line.name, section)) {
        place.section_found = inside = true;
        place.insert_at = line.end;
      }
    } else if (inside && line.kind == LineKind::kKey) {
      if (NamesMatch(line.name, key)) {
        place.key = line;
        break;
      }
      place.insert_at = line.end;
    }
  }
  return place;
}

std::optional<std::string_view> FindValue(std::string_view text, std::string_view section,
                                          std::string_view key) {
  const KeyPlace place = LocateKey(text, section, key);
  if (!place.key) return std::nullopt;
  return Unquote(text.substr(place.key->value_begin, place.key->value_end - place.key->value_begin));
}

bool CanWrite(std::string_view section, std::string_view key, std::string_view value) {
  const auto has_line_break = [](std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
  };
  const std::string_view name = TrimBlanks(key);
  return !TrimBlanks(section).empty() && !has_line_break(section) && !name.empty() &&
         !has_line_break(key) && key.find('=') == std::string_view::npos &&
         name.front() != ';' && name.front() != '[' && !has_line_break(value);
}

void SetValue(std::string& text, std::string_view section, std::string_view key,
              std::string_view value) {
  const KeyPlace place = LocateKey(text, section, key);
  if (place.key) {
    text.replace(place.key->value_begin, place.key->value_end - place.key->value_begin, value);
    return;
  }
  std::string lines;
  if (!place.section_found) {
    lines.append("[").append(section).append("]").append(LineEndOf(text));
  }
  lines.append(key).append("=").append(value);
  InsertLines(text, place.section_found ? place.insert_at : text.size(), lines);
}

}  // namespace velto::platform::ini
