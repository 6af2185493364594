// Output helpers: code page 932 text made visible, terminal column widths
// of UTF-8 text, aligned tables and JSON strings.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "transcode.h"

namespace velto::tool {

// Code page 932 text as UTF-8 for showing, with control characters drawn as
// their pictures (a tab as U+2409, a carriage return as U+240D) so that each
// still takes the one column or cell it counts for.
class VisibleText {
 public:
  std::string Render(std::string_view cp932);
  // Each character of the text rendered on its own, in order: one string a
  // character as the count splits them.
  const std::vector<std::string>& Characters(std::string_view cp932);

 private:
  std::u16string units_;
  std::vector<std::string> characters_;
};

// Terminal columns of UTF-8 text: 2 for wide and full-width characters, 0
// for combining marks, 1 for everything else (an invalid byte included).
std::size_t DisplayWidth(std::string_view utf8);

// The text followed by spaces up to width columns (never cut).
std::string PadRight(std::string_view utf8, std::size_t width);
// Spaces up to width columns followed by the text (never cut).
std::string PadLeft(std::string_view utf8, std::size_t width);

// Appends UTF-8 text with some characters replaced: escape(code_point, out)
// appends the replacement and returns true, or returns false to keep the
// character. Bytes that are not UTF-8 become U+FFFD.
template <typename Escape>
void AppendEscaped(std::string_view utf8, std::string& out, Escape escape) {
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t code_point = 0;
    if (NextUtf8(utf8, pos, code_point) != Utf8Step::kValid) code_point = 0xFFFD;
    if (!escape(code_point, out)) AppendUtf8(code_point, out);
  }
}

// A JSON string literal, quotes included; invalid UTF-8 becomes U+FFFD.
std::string JsonString(std::string_view utf8);

// A table of text cells printed with columns aligned by display width.
// Numeric columns are right-aligned, the others left-aligned.
class Table {
 public:
  enum class Align { kLeft, kRight };

  explicit Table(std::vector<Align> columns) : columns_(std::move(columns)) {}

  void AddRow(std::vector<std::string> cells);
  // A rule of dashes across the whole table, before the next row.
  void AddRule();
  void Print(std::ostream& out) const;

 private:
  std::vector<Align> columns_;
  std::vector<std::vector<std::string>> rows_;  // an empty row is a rule
};

}  // namespace velto::tool
