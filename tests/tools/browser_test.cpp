// velto show --html in a real browser: headless Chromium draws the sample's
// first sheet, and its pixels show the grid lines and the characters where
// the layout puts them: every cell framed, ink in exactly the cells that
// hold a character, hanging punctuation in the margin past the last cell,
// and the vertical forms of the long vowel mark and the full stop in
// columns. The screenshot is kept under the build folder.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "html_tree.h"
#include "manuscript_html.h"
#include "png_image.h"
#include "tool_runner.h"

namespace velto::testing {
namespace {

using tool::GridSize;
using tool::kCellPx;
using tool::kFoldedSheetLines;
using tool::kFoldPx;
using tool::kRubyBandPx;
using tool::Sheet;
using tool::Writing;

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    const std::string candidate = folder + "/" + name;
    if (!folder.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

struct Box {
  int left = 0;
  int top = 0;
  int right = 0;  // past the last pixel
  int bottom = 0;
  int CentreX() const { return (left + right) / 2; }
  int CentreY() const { return (top + bottom) / 2; }
  Box Inset(int by) const { return {left + by, top + by, right - by, bottom - by}; }
  Box Moved(int x, int y) const { return {left + x, top + y, right + x, bottom + y}; }
};

// Where the layout puts a cell of a sheet, worked out here on its own:
// line k (from 1) is k-1 lines of cells and ruby bands (and the fold, past
// the first half) away from the sheet's start side, behind its own ruby
// band; cell j (from 1, the margin cell one past the last) is j-1 cells
// along. In columns the start side is the right.
Box CellBox(const Sheet& sheet, int line, int cell) {
  const bool folded = sheet.lines == kFoldedSheetLines && line > static_cast<int>(kFoldedSheetLines / 2);
  const int across = (line - 1) * (kCellPx + kRubyBandPx) + (folded ? kFoldPx : 0) + kRubyBandPx;
  const int along = (cell - 1) * kCellPx;
  if (sheet.writing == Writing::kHorizontal) return {along, across, along + kCellPx, across + kCellPx};
  const int right = GridSize(sheet).width - across;
  return {right - kCellPx, along, right, along + kCellPx};
}

// The fold band between the two halves, without the ruby band beside it.
Box FoldBox(const Sheet& sheet) {
  const Box before = CellBox(sheet, kFoldedSheetLines / 2, 1);
  const Box after = CellBox(sheet, kFoldedSheetLines / 2 + 1, 1);
  const int along = static_cast<int>(sheet.cells) * kCellPx;
  if (sheet.writing == Writing::kHorizontal) return {0, before.bottom, along, after.top - kRubyBandPx};
  return {after.right + kRubyBandPx, 0, before.left, along};
}

bool IsGridLine(Rgb p) { return std::abs(p.r - 200) < 40 && std::abs(p.g - 85) < 40 && std::abs(p.b - 61) < 40; }
bool IsInk(Rgb p) { return p.r < 120 && p.g < 120 && p.b < 120; }

// The pixels of one kind in a box: how many, where they reach, their sums
// of coordinates (for their centre).
struct Pixels {
  int count = 0;
  Box bounds{1 << 20, 1 << 20, -1, -1};
  long sum_x = 0;
  long sum_y = 0;
};

Pixels Find(const PngImage& image, const Box& box, bool (*kind)(Rgb)) {
  Pixels ink;
  for (int y = box.top; y < box.bottom; ++y) {
    for (int x = box.left; x < box.right; ++x) {
      if (!kind(image.At(x, y))) continue;
      ++ink.count;
      ink.sum_x += x;
      ink.sum_y += y;
      ink.bounds = {std::min(ink.bounds.left, x), std::min(ink.bounds.top, y), std::max(ink.bounds.right, x + 1),
                    std::max(ink.bounds.bottom, y + 1)};
    }
  }
  return ink;
}

struct Point {
  int x = 0;
  int y = 0;
};

// The grid's top-left corner on the screenshot, from the grid lines of the
// first sheet (from the first grid-coloured row down one sheet's height),
// whose far ends must be the layout's outermost cell borders.
Point FindGrid(const PngImage& image, const Sheet& sheet) {
  const int first_row = [&] {
    for (int y = 0; y < image.height(); ++y) {
      if (Find(image, {0, y, image.width(), y + 1}, IsGridLine).count > 0) return y;
    }
    return 0;
  }();
  const Box lines =
      Find(image, {0, first_row, image.width(), std::min(image.height(), first_row + GridSize(sheet).height)},
           IsGridLine)
          .bounds;
  Box cells = CellBox(sheet, 1, 1);
  for (int line = 1; line <= static_cast<int>(sheet.lines); ++line) {
    const Box first = CellBox(sheet, line, 1);
    const Box last = CellBox(sheet, line, static_cast<int>(sheet.cells));
    cells = {std::min(cells.left, first.left), std::min(cells.top, first.top), std::max(cells.right, last.right),
             std::max(cells.bottom, last.bottom)};
  }
  const Point origin{lines.left - cells.left, lines.top - cells.top};
  EXPECT_EQ(lines.right - origin.x, cells.right) << "the grid lines end where the last cells do";
  EXPECT_EQ(lines.bottom - origin.y, cells.bottom) << "the grid lines end where the last cells do";
  return origin;
}

// The characters of the first sheet as drawn in the HTML: per line its
// cells and its hanging character.
struct DrawnLine {
  std::vector<std::string> cells;
  std::string hanging;
};

std::vector<DrawnLine> FirstSheet(const std::string& html) {
  const HtmlNode document = ParseHtml(html);
  std::vector<DrawnLine> lines;
  for (const HtmlNode* line : FindAll(*FindAll(document, "section", "sheet").at(0), "div", "line")) {
    DrawnLine& drawn = lines.emplace_back();
    for (const HtmlNode* cell : line->Elements("i")) drawn.cells.push_back(cell->Text());
    for (const HtmlNode* margin : line->Elements("b")) drawn.hanging = margin->Text();
  }
  return lines;
}

bool HasInk(const std::string& character) { return !character.empty() && character != " " && character != "　"; }

struct BrowserCase {
  std::string name;
  Writing writing;
  std::string artefact;
};

void PrintTo(const BrowserCase& c, std::ostream* out) { *out << c.name; }

class BrowserTest : public ::testing::TestWithParam<BrowserCase> {};

TEST_P(BrowserTest, FirstSheetShowsGridAndCharactersWhereTheLayoutPutsThem) {
  const BrowserCase& c = GetParam();
  const std::string chromium = FindProgram("chromium");
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh installs it)";
  const Sandbox sandbox;
  const Sheet sheet{20, 20, c.writing};
  std::vector<std::string> args = {"show", "--html", "-o", "sheet.html"};
  if (c.writing == Writing::kHorizontal) args.push_back("--horizontal");
  args.push_back(std::string(VELTO_SOURCE_DIR) + "/samples/manuscript.txt");
  const ToolRun velto = RunTool(sandbox, args);
  ASSERT_EQ(velto.exit_status, 0) << velto.err;
  const std::vector<DrawnLine> drawn = FirstSheet(Sandbox::Read(sandbox.Path("sheet.html")));
  ASSERT_EQ(drawn.size(), sheet.lines);

  // Tall enough for the counts and the whole first sheet, not for the
  // second sheet's grid.
  const int width = GridSize(sheet).width + 160;
  const int height = GridSize(sheet).height + 260;
  const std::string shot = sandbox.Path("sheet-1.png");
  const ToolRun browser = RunProgram(
      sandbox, FindProgram("timeout"),
      {{"120", chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
        "--disable-background-networking", "--disable-component-update", "--disable-sync",
        "--user-data-dir=" + sandbox.Path("profile"), "--hide-scrollbars", "--force-device-scale-factor=1",
        "--window-size=" + std::to_string(width) + "," + std::to_string(height), "--screenshot=" + shot,
        "file://" + sandbox.Path("sheet.html")},
       {},
       {},
       false});
  ASSERT_EQ(browser.exit_status, 0) << browser.err;
  const std::filesystem::path artefact = std::filesystem::path(VELTO_BINARY_DIR) / "artefacts" / c.artefact;
  std::filesystem::create_directories(artefact.parent_path());
  std::filesystem::copy_file(shot, artefact, std::filesystem::copy_options::overwrite_existing);
  const PngImage image = ReadPng(Sandbox::Read(shot));
  ASSERT_EQ(image.width(), width);
  ASSERT_EQ(image.height(), height);
  ASSERT_GT(Find(image, {0, 0, width, height}, IsInk).count, 1000) << "a blank screenshot: " << artefact;

  const bool vertical = c.writing == Writing::kVertical;
  const Point origin = FindGrid(image, sheet);
  const auto at = [&](int line, int cell) { return CellBox(sheet, line, cell).Moved(origin.x, origin.y); };
  int unframed = 0;
  int misplaced = 0;
  std::string first_misplaced;
  for (int line = 1; line <= static_cast<int>(sheet.lines); ++line) {
    const DrawnLine& expected = drawn[static_cast<std::size_t>(line - 1)];
    for (int cell = 1; cell <= static_cast<int>(sheet.cells) + 1; ++cell) {
      const Box box = at(line, cell);
      const bool margin = cell > static_cast<int>(sheet.cells);
      if (!margin) {
        // Cells along a line share the line between them: the one at the
        // end of a cell is the next cell's first.
        const bool last = cell == static_cast<int>(sheet.cells);
        const int right = vertical || last ? box.right - 1 : box.right;
        const int bottom = !vertical || last ? box.bottom - 1 : box.bottom;
        for (const auto& [x, y] : {std::pair{box.left, box.CentreY()}, std::pair{right, box.CentreY()},
                                   std::pair{box.CentreX(), box.top}, std::pair{box.CentreX(), bottom}}) {
          unframed += IsGridLine(image.At(x, y)) ? 0 : 1;
        }
      }
      const std::string& character = margin ? expected.hanging : expected.cells[static_cast<std::size_t>(cell - 1)];
      const int ink = Find(image, box.Inset(margin ? 0 : 2), IsInk).count;
      if ((ink > 5) != HasInk(character)) {
        if (++misplaced == 1) first_misplaced = "line " + std::to_string(line) + " cell " + std::to_string(cell);
      }
    }
  }
  EXPECT_EQ(unframed, 0) << "cell borders off the grid lines; see " << artefact;
  EXPECT_EQ(misplaced, 0) << "ink and characters disagree first at " << first_misplaced << "; see " << artefact;
  EXPECT_GT(Find(image, FoldBox(sheet).Moved(origin.x, origin.y), IsGridLine).count, kCellPx) << "no fold line";
  // The sample hangs punctuation on the first sheet, so the margin was seen.
  EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](const DrawnLine& line) { return !line.hanging.empty(); }));

  // In columns the long vowel mark stands upright as a vertical bar and the
  // full stop sits at the top right of its cell, as vertical text has them;
  // in rows a horizontal bar and the bottom left.
  const auto find = [&](const std::string& character) {
    for (std::size_t line = 0; line < drawn.size(); ++line) {
      const auto& cells = drawn[line].cells;
      const auto found = std::find(cells.begin(), cells.end(), character);
      if (found != cells.end()) return at(static_cast<int>(line + 1), static_cast<int>(found - cells.begin() + 1));
    }
    ADD_FAILURE() << character << " is not on the first sheet";
    return Box{};
  };
  const Pixels bar = Find(image, find("ー").Inset(2), IsInk);
  const int bar_long = vertical ? bar.bounds.bottom - bar.bounds.top : bar.bounds.right - bar.bounds.left;
  const int bar_short = vertical ? bar.bounds.right - bar.bounds.left : bar.bounds.bottom - bar.bounds.top;
  EXPECT_GT(bar_long, 2 * bar_short) << "ー";
  const Box stop_cell = find("。");
  const Pixels stop = Find(image, stop_cell.Inset(2), IsInk);
  ASSERT_GT(stop.count, 0);
  EXPECT_EQ(stop.sum_x / stop.count > stop_cell.CentreX(), vertical) << "。";
  EXPECT_EQ(stop.sum_y / stop.count < stop_cell.CentreY(), vertical) << "。";
}

INSTANTIATE_TEST_SUITE_P(
    Sample, BrowserTest,
    ::testing::Values(BrowserCase{"Columns", Writing::kVertical, "manuscript-sheet-1.png"},
                      BrowserCase{"Rows", Writing::kHorizontal, "manuscript-sheet-1-rows.png"}),
    [](const auto& param_info) { return param_info.param.name; });

}  // namespace
}  // namespace velto::testing
