// Output helpers: terminal column widths of UTF-8 text, aligned tables and
// JSON strings.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace velto::tool {

// Terminal columns of UTF-8 text: 2 for wide and full-width characters, 0
// for combining marks, 1 for everything else (an invalid byte included).
std::size_t DisplayWidth(std::string_view utf8);

// The text followed by spaces up to width columns (never cut).
std::string PadRight(std::string_view utf8, std::size_t width);
// Spaces up to width columns followed by the text (never cut).
std::string PadLeft(std::string_view utf8, std::size_t width);

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
