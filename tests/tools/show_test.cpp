// velto show: the display lines it prints are the ones the library counts,
// for the bundled sample, for hand-made cases and for seeded random texts.
#include <gtest/gtest.h>

#include <random>

#include "test_text.h"
#include "tool_runner.h"

namespace velto::testing {
namespace {

// Whether a line of show's output is a display line: blanks, the page
// number, blanks, the line number, a blank and the margin's bar.
bool IsDisplayLine(std::string_view line) {
  std::size_t pos = 0;
  for (int number = 0; number < 2; ++number) {
    const std::size_t blanks = line.find_first_not_of(' ', pos);
    if (blanks == std::string_view::npos || (number == 1 && blanks == pos)) return false;
    pos = line.find_first_not_of("0123456789", blanks);
    if (pos == blanks || pos == std::string_view::npos) return false;
  }
  return line.substr(pos).starts_with(" |");
}

std::vector<std::string> DisplayLines(const std::string& out) {
  std::vector<std::string> lines;
  for (const std::string& line : SplitLines(out)) {
    if (IsDisplayLine(line)) lines.push_back(line);
  }
  return lines;
}

// The text of a display line, after the margin's bar.
std::string TextOf(const std::string& line) { return line.substr(line.find('|') + 1); }

TEST(ShowTest, SamplePrintsAsManyDisplayLinesAsItsCountGives) {
  const Sandbox sandbox;
  const std::string sample = std::string(VELTO_SOURCE_DIR) + "/samples/manuscript.txt";
  const ToolRun count = RunTool(sandbox, {"count", "--json", sample});
  ASSERT_EQ(count.exit_status, 0) << count.err;
  const auto json = ParseJsonObject(SplitLines(count.out).at(0));
  const ToolRun show = RunTool(sandbox, {"show", sample});
  ASSERT_EQ(show.exit_status, 0) << show.err;
  EXPECT_EQ(std::to_string(DisplayLines(show.out).size()), json.at("display_lines"));
  // A manuscript of several pages: every page after the first is marked.
  const auto pages = std::stoll(json.at("pages"));
  ASSERT_GT(pages, 1);
  EXPECT_NE(show.out.find("+ page " + std::to_string(pages)), std::string::npos);
  EXPECT_EQ(show.out.find("+ page " + std::to_string(pages + 1)), std::string::npos);
}

TEST(ShowTest, HangingCharacterStandsBeyondTheMarginBar) {
  const Sandbox sandbox;
  const std::string file = sandbox.Write("hang.txt", "あいうえおかきくけこ。さしすせそ\n");
  const ToolRun run =
      RunTool(sandbox, {"show", "--line-length", "10", "--no-kinsoku", "--hang", "。", file});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const auto lines = DisplayLines(run.out);
  ASSERT_EQ(lines.size(), 3U) << run.out;  // the final empty line after the line feed included
  EXPECT_EQ(TextOf(lines[0]), "あいうえおかきくけこ|。");
  EXPECT_EQ(TextOf(lines[1]), "さしすせそ          |");
  EXPECT_EQ(TextOf(lines[2]), std::string(20, ' ') + "|");
  // The ruler marks every character cell up to the margin.
  EXPECT_NE(run.out.find("|. . . . + . . . . 1 |"), std::string::npos) << run.out;
}

TEST(ShowTest, HalfWidthTakesOneColumnAndControlsAreVisible) {
  const Sandbox sandbox;
  const std::string file = sandbox.Write("mixed.txt", "ab\tｶﾅ全角\r\n");
  const ToolRun run = RunTool(sandbox, {"show", "--line-length", "10", file});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const auto lines = DisplayLines(run.out);
  ASSERT_GE(lines.size(), 1U) << run.out;
  // 7 characters: a b tab ｶ ﾅ (1 column each) and 全角 (2 each) = 9 columns
  // of 20; the carriage return of this UTF-8 file was removed with its line
  // feed by the reader's text mode.
  EXPECT_EQ(TextOf(lines[0]), "ab\u2409ｶﾅ全角" + std::string(11, ' ') + "|");
}

TEST(ShowTest, PagesAreNumberedInTheMargin) {
  const Sandbox sandbox;
  const std::string file = sandbox.Write("five.txt", "1\n2\n3\n4\n5");
  const ToolRun run = RunTool(sandbox, {"show", "--page-length", "2", file});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const auto lines = DisplayLines(run.out);
  ASSERT_EQ(lines.size(), 5U) << run.out;
  EXPECT_TRUE(lines[0].starts_with("1 1 |1")) << lines[0];
  EXPECT_TRUE(lines[3].starts_with("2 2 |4")) << lines[3];
  EXPECT_TRUE(lines[4].starts_with("3 1 |5")) << lines[4];
  EXPECT_NE(run.out.find("+ page 3"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("5 display lines, 3 pages, 1 lines on the last page"), std::string::npos)
      << run.out;
}

// Random texts dense in line-break characters, wrapped under random
// layouts: show prints exactly the LineCount that GetDataStatus writes for
// the same file and the same status file.
TEST(ShowTest, RandomTextsPrintTheLibrarysLineCount) {
  const std::vector<std::string> alphabet = {"あ", "漢", "字", "ー", "っ", "。", "、", "」", "「", "（", "）",
                                             "！", "？", "a", "b", ".", ",", "ｱ", "ｰ", " ", "　", "1"};
  std::mt19937 random(20240611);
  for (int round = 0; round < 12; ++round) {
    const Sandbox sandbox;
    std::string text;
    const int lines = std::uniform_int_distribution<int>(1, 12)(random);
    for (int i = 0; i < lines; ++i) {
      const int length = std::uniform_int_distribution<int>(0, 90)(random);
      for (int k = 0; k < length; ++k) {
        text += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
      }
      text += '\n';
    }
    const int line_length = std::uniform_int_distribution<int>(10, 40)(random);
    const int page_length = std::uniform_int_distribution<int>(1, 9)(random);
    const std::string status_text =
        StatusText("LineLength=" + std::to_string(line_length) +
                   "\nPageLength=" + std::to_string(page_length) +
                   "\nNoTop_NoHang=" + ConvertFromUtf8("ー」）っ！？ｰ", "windows-31j") +
                   "\nNoTop_Hang=" + ConvertFromUtf8("。、.,", "windows-31j") +
                   "\nNoEnd=" + ConvertFromUtf8("「（", "windows-31j") + "\nCharSet=6\nTemporary=\n");
    const std::string file = sandbox.Write("random.txt", text);
    const Counts expected = LibraryCount(sandbox, file, status_text);
    const std::string status = sandbox.Write("user.ini", status_text);
    const ToolRun run = RunTool(sandbox, {"show", "--status", status, file});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(static_cast<std::int64_t>(DisplayLines(run.out).size()), expected.line_count)
        << "round " << round << ", line length " << line_length << "\n"
        << text;
  }
}

TEST(ShowTest, StandardInputCanBeShown) {
  const Sandbox sandbox;
  const ToolRun run = RunTool(sandbox, ToolCall{{"show", "-"}, "一行目\n二行目", {}, false});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const auto lines = DisplayLines(run.out);
  ASSERT_EQ(lines.size(), 2U) << run.out;
  EXPECT_TRUE(TextOf(lines[1]).starts_with("二行目")) << lines[1];
}

}  // namespace
}  // namespace velto::testing
