#include "text_output.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "transcode.h"
#include "velto/measure.hpp"

namespace velto::tool {
namespace {

void MakeVisible(std::u16string& units) {
  for (char16_t& unit : units) {
    if (unit < 0x20) {
      unit = static_cast<char16_t>(0x2400 + unit);
    } else if (unit == 0x7F) {
      unit = u'\u2421';
    } else if (unit >= 0x80 && unit <= 0x9F) {
      unit = u'\uFFFD';
    }
  }
}

std::size_t CharacterCount(std::string_view cp932) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < cp932.size(); pos += sjis::CharLength(cp932, pos)) ++count;
  return count;
}

std::size_t CodePointWidth(char32_t code_point) {
  const auto c = static_cast<UChar32>(code_point);
  const auto category = U_MASK(u_charType(c));
  if ((category & (U_GC_MN_MASK | U_GC_ME_MASK)) != 0 || code_point == 0x200B) return 0;
  const auto width = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
  return (width == U_EA_WIDE || width == U_EA_FULLWIDTH) ? 2 : 1;
}

}  // namespace

std::string VisibleText::Render(std::string_view cp932) {
  units_ = sjis::ToUtf16(cp932);
  MakeVisible(units_);
  return Utf16ToUtf8(units_);
}

// Every character of code page 932 is one UTF-16 unit, so a whole text
// converted at once splits unit by unit. Bytes that form no character can
// give several units (or one for several characters); such a text is
// converted character by character instead.
const std::vector<std::string>& VisibleText::Characters(std::string_view cp932) {
  characters_.clear();
  units_ = sjis::ToUtf16(cp932);
  if (units_.size() == CharacterCount(cp932)) {
    MakeVisible(units_);
    for (const char16_t unit : units_) characters_.push_back(Utf16ToUtf8(std::u16string_view(&unit, 1)));
    return characters_;
  }
  for (std::size_t pos = 0; pos < cp932.size(); pos += sjis::CharLength(cp932, pos)) {
    characters_.push_back(Render(cp932.substr(pos, sjis::CharLength(cp932, pos))));
  }
  return characters_;
}

std::size_t DisplayWidth(std::string_view utf8) {
  std::size_t columns = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t code_point = 0;
    columns += NextUtf8(utf8, pos, code_point) == Utf8Step::kValid ? CodePointWidth(code_point) : 1;
  }
  return columns;
}

std::string PadRight(std::string_view utf8, std::size_t width) {
  std::string out(utf8);
  const std::size_t used = DisplayWidth(utf8);
  if (used < width) out.append(width - used, ' ');
  return out;
}

std::string PadLeft(std::string_view utf8, std::size_t width) {
  const std::size_t used = DisplayWidth(utf8);
  std::string out(used < width ? width - used : 0, ' ');
  out += utf8;
  return out;
}

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  AppendEscaped(utf8, out, [](char32_t code_point, std::string& to) {
    switch (code_point) {
      case U'"':
        to += "\\\"";
        return true;
      case U'\\':
        to += "\\\\";
        return true;
      case U'\n':
        to += "\\n";
        return true;
      case U'\r':
        to += "\\r";
        return true;
      case U'\t':
        to += "\\t";
        return true;
      default:
        if (code_point >= 0x20 && code_point != 0x7F) return false;
        std::array<char, 8> escape{};
        std::snprintf(escape.data(), escape.size(), "\\u%04X", static_cast<unsigned>(code_point));
        to += escape.data();
        return true;
    }
  });
  out += '"';
  return out;
}

void Table::AddRow(std::vector<std::string> cells) {
  cells.resize(columns_.size());
  rows_.push_back(std::move(cells));
}

void Table::AddRule() { rows_.emplace_back(); }

void Table::Print(std::ostream& out) const {
  std::vector<std::size_t> widths(columns_.size(), 0);
  for (const auto& row : rows_) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(row[i]));
  }
  std::size_t total = 0;
  for (const std::size_t width : widths) total += width;
  total += widths.empty() ? 0 : 2 * (widths.size() - 1);
  for (const auto& row : rows_) {
    if (row.empty()) {
      out << std::string(total, '-') << '\n';
      continue;
    }
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) line += "  ";
      line += columns_[i] == Align::kRight ? PadLeft(row[i], widths[i]) : PadRight(row[i], widths[i]);
    }
    // No trailing blanks from a padded last column.
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << '\n';
  }
}

}  // namespace velto::tool
