// velto show --html: the sheets it draws hold exactly the display lines
// velto show prints, one sheet a page and one cell a character, under the
// counts velto count prints; the options that have no sheet are refused;
// ruby stands beside its base cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <sstream>

#include "html_tree.h"
#include "manuscript_html.h"
#include "test_text.h"
#include "text_output.h"
#include "tool_runner.h"

namespace velto::testing {
namespace {

const std::string kSample = std::string(VELTO_SOURCE_DIR) + "/samples/manuscript.txt";

// A display line as velto show prints it: "page line |text|hanging".
struct ShownLine {
  std::int64_t page = 0;
  std::int64_t line = 0;
  std::string text;  // everything after the first bar
  bool operator==(const ShownLine&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ShownLine& line) {
  return out << "page " << line.page << " line " << line.line << " [" << line.text << "]";
}

std::vector<ShownLine> ShownLines(const std::string& show_output) {
  std::vector<ShownLine> lines;
  for (const std::string& row : SplitLines(show_output)) {
    std::istringstream in(row);
    ShownLine line;
    char bar = 0;
    if (in >> line.page >> line.line >> bar && bar == '|') {
      line.text = row.substr(row.find('|') + 1);
      lines.push_back(line);
    }
  }
  return lines;
}

// A drawn line in the form show prints it: its cells padded to the margin
// bar as the terminal pads them, then the hanging character, if any.
ShownLine AsShown(std::int64_t page, const HtmlNode& line, std::size_t cells) {
  std::string body;
  for (const HtmlNode* cell : line.Elements("i")) body += cell->Text();
  std::string hanging;
  for (const HtmlNode* margin : line.Elements("b")) hanging += margin->Text();
  return {page, std::stoll(line.Attribute("data-line")), tool::PadRight(body, 2 * cells) + "|" + hanging};
}

const HtmlNode& Only(const std::vector<const HtmlNode*>& nodes, const std::string& what) {
  if (nodes.size() != 1) throw std::runtime_error(std::to_string(nodes.size()) + " elements " + what);
  return *nodes.front();
}

struct SheetCase {
  std::string name;
  std::vector<std::string> layout;  // options of show and count
  std::string text;                 // UTF-8; the bundled sample when empty
  bool to_file;                     // -o sheet.html, else standard output
  std::size_t cells;
  std::size_t lines;
  bool fold;
  bool hangs;  // some line has a hanging character
  std::string writing_mode;
};

void PrintTo(const SheetCase& c, std::ostream* out) { *out << c.name; }

class SheetTest : public ::testing::TestWithParam<SheetCase> {};

// The sheets are checked against velto show and velto count on the same
// file with the same layout: every display line on its page, in its
// cells, a hanging character in the margin cell past them.
TEST_P(SheetTest, SheetsHoldTheDisplayLinesShowPrints) {
  const SheetCase& c = GetParam();
  const Sandbox sandbox;
  const std::string file = c.text.empty() ? kSample : sandbox.Write("q&a <1>.txt", c.text);
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.end(), c.layout.begin(), c.layout.end());
    args.push_back(file);
    const ToolRun result = RunTool(sandbox, args);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    return result;
  };
  const std::int64_t pages =
      std::stoll(ParseJsonObject(SplitLines(run({"count", "--json"}).out).at(0)).at("pages"));
  const std::string counts = run({"count"}).out;
  const std::vector<ShownLine> shown = ShownLines(run({"show"}).out);
  std::vector<std::string> html_args = {"show", "--html"};
  if (c.writing_mode == "horizontal-tb") html_args.push_back("--horizontal");
  if (c.to_file) html_args.insert(html_args.end(), {"-o", "sheet.html"});
  const ToolRun html_run = run(html_args);
  const std::string html = c.to_file ? Sandbox::Read(sandbox.Path("sheet.html")) : html_run.out;
  EXPECT_EQ(c.to_file, html_run.out.empty());

  const HtmlNode document = ParseHtml(html);
  EXPECT_EQ(Only(FindAll(document, "pre", "counts"), "pre.counts").Text(), counts);
  EXPECT_NE(Only(FindAll(document, "style", ""), "style").Text().find("writing-mode:" + c.writing_mode),
            std::string::npos);

  const auto sheets = FindAll(document, "section", "sheet");
  ASSERT_EQ(static_cast<std::int64_t>(sheets.size()), pages);
  std::vector<ShownLine> drawn;
  for (std::size_t s = 0; s < sheets.size(); ++s) {
    const auto page = static_cast<std::int64_t>(s + 1);
    ASSERT_EQ(sheets[s]->Attribute("data-page"), std::to_string(page));
    const HtmlNode& grid = Only(FindAll(*sheets[s], "div", "grid"), "div.grid");
    const auto lines = FindAll(grid, "div", "line");
    ASSERT_EQ(lines.size(), c.lines) << "sheet " << page;
    for (const HtmlNode* line : lines) {
      ASSERT_EQ(line->Elements("i").size(), c.cells) << "sheet " << page;
      ASSERT_LE(line->Elements("b").size(), 1U);
      // Lines past the text's end on the last sheet are blank cells only.
      if (!line->Attribute("data-line").empty()) drawn.push_back(AsShown(page, *line, c.cells));
    }
    // The fold stands between the two halves of the sheet.
    const auto folds = FindAll(grid, "div", "fold");
    ASSERT_EQ(folds.size(), c.fold ? 1U : 0U);
    if (c.fold) {
      EXPECT_EQ(grid.Elements("div").at(c.lines / 2), folds.front());
    }
    const std::string label = sheets[s]->Elements("p").at(0)->Text();
    EXPECT_NE(label.find(std::to_string(page) + " / " + std::to_string(pages)), std::string::npos) << label;
    EXPECT_NE(label.find(file), std::string::npos) << label;
  }
  EXPECT_EQ(drawn, shown);
  // Where the layout hangs punctuation, the margin cells were compared too.
  EXPECT_EQ(std::any_of(shown.begin(), shown.end(), [](const ShownLine& line) { return !line.text.ends_with("|"); }),
            c.hangs);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SheetTest,
    ::testing::Values(
        SheetCase{"ManuscriptInColumns", {}, "", true, 20, 20, true, true, "vertical-rl"},
        SheetCase{"ManuscriptInRows", {}, "", false, 20, 20, true, true, "horizontal-tb"},
        SheetCase{"WideLinesShortPagesNoFold", {"--line-length", "64", "--page-length", "7"}, "", true, 64, 7,
                  false, false, "vertical-rl"},
        SheetCase{"MarkupCharactersAndHalfWidth",
                  {"--line-length", "10", "--page-length", "3"},
                  "<a href=\"x\">&amp;</a> 'ｶﾅ'\tタブ\n\n\n\n最後",
                  true, 10, 3, false, false, "vertical-rl"}),
    [](const auto& param_info) { return param_info.param.name; });

struct RefusalCase {
  std::string name;
  std::vector<std::string> args;  // before the text file
  int exit_status;
  std::string message;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class RefusalTest : public ::testing::TestWithParam<RefusalCase> {};

// A refused drawing writes nothing: no HTML on standard output, no file,
// and the text is untouched.
TEST_P(RefusalTest, RefusesWithAOneLineMessage) {
  const RefusalCase& c = GetParam();
  const Sandbox sandbox;
  const std::string text = "一行目\n";
  const std::string file = sandbox.Write("text.txt", text);
  std::vector<std::string> args = {"show"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  args.push_back(file);
  const ToolRun run = RunTool(sandbox, args);
  EXPECT_EQ(run.exit_status, c.exit_status) << run.err;
  EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(Sandbox::Read(file), text);
  EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(sandbox.root()), {}), 4)
      << "only the text and the runner's three files";
}

INSTANTIATE_TEST_SUITE_P(
    Options, RefusalTest,
    ::testing::Values(
        RefusalCase{"NoWrapping", {"--html", "--line-length", "0", "-o", "s.html"}, 2, "set --line-length"},
        RefusalCase{"LongerThanAnySourceLine", {"--html", "--line-length", "5120"}, 2, "set --line-length"},
        RefusalCase{"NoPaging", {"--html", "--page-length", "0", "-o", "s.html"}, 2, "set --page-length"},
        RefusalCase{"TooManyCellsForOneSheet",
                    {"--html", "--line-length", "5000", "--page-length", "201"},
                    2,
                    "at most 1000000 cells a sheet"},
        RefusalCase{"VerticalWithoutHtml", {"--vertical"}, 2, "--html"},
        RefusalCase{"OutputWithoutHtml", {"-o", "s.html"}, 2, "--html"},
        RefusalCase{"BothDirections", {"--html", "--vertical", "--horizontal"}, 2, "excludes"},
        RefusalCase{"MissingFolder", {"--html", "-o", "missing/s.html"}, 1, "there is no folder missing"},
        RefusalCase{"OverTheTextItself", {"--html", "-o", "text.txt"}, 1, "it is the text being shown"}),
    [](const auto& param_info) { return param_info.param.name; });

// Ruby comes from the display lines, so the writer is fed lines directly.
// Byte offsets of code page 932 become cells: a half-width character is one
// byte and one cell, a kanji two bytes and one cell.
TEST(ManuscriptWriterTest, RubyStandsBesideItsBaseCellsOnce) {
  const std::string first = ConvertFromUtf8("ab漢字の大", "windows-31j");
  const std::string second = ConvertFromUtf8("阪へ", "windows-31j");
  const std::string kanji_reading = ConvertFromUtf8("かんじ", "windows-31j");
  const std::string osaka_reading = ConvertFromUtf8("おおさか", "windows-31j");
  const std::vector<RubyPart> first_ruby = {{2, 6, kanji_reading, true}, {8, 10, osaka_reading, true}};
  const std::vector<RubyPart> second_ruby = {{0, 2, osaka_reading, false}};

  std::ostringstream out;
  tool::ManuscriptWriter writer(out, {10, 2, tool::Writing::kVertical}, "t.txt", 1);
  writer.Begin("");
  writer.Add({first, false, 1, 1, first_ruby});
  writer.Add({second, false, 1, 2, second_ruby});
  writer.Finish();

  const HtmlNode document = ParseHtml(out.str());
  const auto lines = FindAll(document, "div", "line");
  ASSERT_EQ(lines.size(), 2U);
  const auto readings = lines[0]->Elements("span");
  ASSERT_EQ(readings.size(), 2U);
  EXPECT_EQ(readings[0]->Text(), "かんじ");
  EXPECT_EQ(readings[0]->Attribute("style"), "grid-column:3/5");
  EXPECT_EQ(readings[1]->Text(), "おおさか");
  EXPECT_EQ(readings[1]->Attribute("style"), "grid-column:6/7");
  // The base's second part, on the next line, is marked but not read again.
  const HtmlNode& continued = Only(lines[1]->Elements("span"), "span");
  EXPECT_TRUE(continued.HasClass("more"));
  EXPECT_EQ(continued.Text(), "");
  EXPECT_EQ(continued.Attribute("style"), "grid-column:1/2");
}

// A reading over a hanging character stands beside the margin cell.
TEST(ManuscriptWriterTest, RubyOverAHangingCharacterReachesTheMarginCell) {
  const std::string text = ConvertFromUtf8("一二三四五六七八九十。", "windows-31j");
  const std::string reading = ConvertFromUtf8("じゅう", "windows-31j");
  const std::vector<RubyPart> ruby = {{18, 22, reading, true}};
  std::ostringstream out;
  tool::ManuscriptWriter writer(out, {10, 1, tool::Writing::kHorizontal}, "t.txt", 1);
  writer.Begin("");
  writer.Add({text, true, 1, 1, ruby});
  writer.Finish();

  const HtmlNode document = ParseHtml(out.str());
  const HtmlNode& line = Only(FindAll(document, "div", "line"), "div.line");
  EXPECT_EQ(line.Elements("i").size(), 10U);
  EXPECT_EQ(Only(line.Elements("b"), "b").Text(), "。");
  EXPECT_EQ(Only(line.Elements("span"), "span").Attribute("style"), "grid-column:10/12");
}

}  // namespace
}  // namespace velto::testing
