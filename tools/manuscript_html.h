// Manuscript paper in HTML: every page of a layout drawn as the sheet a
// Japanese writer fills by hand, one character a cell, one display line a
// column (or a row), ruby in the narrow band beside the cells and a hanging
// character in the margin past the last cell. One self-contained file:
// styles inline, fonts by family name, no script and nothing fetched.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "text_output.h"
#include "velto/measure.hpp"

namespace velto::tool {

enum class Writing {
  kVertical,    // columns from right to left, characters upright
  kHorizontal,  // rows from top to bottom
};

// The grid every page is drawn on.
struct Sheet {
  std::uint32_t cells = 0;  // cells of a line: the line length
  std::uint32_t lines = 0;  // lines of a sheet: the page length
  Writing writing = Writing::kVertical;
};

// The measures of the drawing, in CSS pixels. Each line of cells has its
// ruby band on its start side (right of a column, above a row) and one
// margin cell past its last cell for a hanging character. A sheet of
// kFoldedSheetLines lines has the centre fold, a band between its two
// halves, as printed manuscript paper has.
inline constexpr int kCellPx = 30;
inline constexpr int kRubyBandPx = 12;
inline constexpr int kFoldPx = 24;
inline constexpr std::uint32_t kFoldedSheetLines = 20;
// A sheet is drawn cell by cell, blank cells included; this bounds what one
// sheet of a short text can cost.
inline constexpr std::uint64_t kMaxSheetCells = 1'000'000;

// The sheet of a layout. A layout without wrapping or paging has none, and
// neither has one whose sheet would exceed kMaxSheetCells: each throws a
// usage ToolError that names the option to set.
Sheet SheetOf(const Settings& layout, Writing writing);

struct PixelSize {
  int width = 0;
  int height = 0;
};
// The grid of a sheet as drawn: cells, ruby bands, margin cells and fold.
PixelSize GridSize(const Sheet& sheet);

// Writes the document one display line at a time, so a long novel streams
// out without being held.
class ManuscriptWriter {
 public:
  // title: the file as the user named it (UTF-8), shown on every sheet;
  // pages: the page count, for the page numbers.
  ManuscriptWriter(std::ostream& out, const Sheet& sheet, std::string title, std::int64_t pages);

  // The document up to the first sheet, with counts (UTF-8 text, shown as
  // it is) above the sheets.
  void Begin(std::string_view counts);
  // The next display line of the walk; a new page starts a new sheet.
  void Add(const DisplayLine& line);
  // Fills the last sheet with blank lines and ends the document.
  void Finish();

  std::int64_t sheets() const { return sheets_; }
  std::int64_t lines() const { return lines_; }

 private:
  void OpenSheet(std::int64_t page);
  void CloseSheet();
  void StartLine(std::string_view attributes);
  void AppendCells(const DisplayLine& line);
  void AppendRuby(const DisplayLine& line, std::size_t body_cells);
  void Flush();

  std::ostream& out_;
  Sheet sheet_;
  std::string title_;
  std::int64_t pages_;
  std::int64_t page_ = 0;  // the page of the open sheet; 0 before the first
  std::uint32_t sheet_lines_ = 0;
  std::int64_t sheets_ = 0;
  std::int64_t lines_ = 0;
  std::string html_;
  VisibleText visible_;
};

// Appends UTF-8 text as HTML text or attribute value: &, <, >, " and ' as
// character references, bytes that are not UTF-8 as U+FFFD.
void AppendHtml(std::string_view utf8, std::string& out);

}  // namespace velto::tool
