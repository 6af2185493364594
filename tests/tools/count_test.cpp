// velto count, run as a user runs it: each encoding detected and forced,
// JSON lines, the table and its total, standard input, and a temporary
// file beside the target that must not be measured instead.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <sstream>

#include "test_text.h"
#include "tool_runner.h"

namespace velto::testing {
namespace {

// Dialogue, punctuation of every kinsoku class, a long vowel, small kana,
// an ideographic space, full-width letters and ASCII digits. Lines longer
// than ten characters so that they wrap.
constexpr std::string_view kSampleUtf8 =
    "「こんにちは。」と、彼女は小さな声で言った。\n"
    "雨が降っている　けれど傘はない！　ちょっと待って？\n"
    "ＡＢＣと123、それからコーヒーを一杯。\n"
    "\n"
    "おしまい。\n";

// The layout both the tool and the test's own status file use.
const std::vector<std::string> kLayoutArgs = {"--line-length", "10", "--page-length", "3",
                                              "--no-top",      "」！？", "--hang",      "、。",
                                              "--no-end",      "「"};

std::string LayoutStatusText() {
  return StatusText("LineLength=10\nPageLength=3\nNoTop_NoHang=" +
                    ConvertFromUtf8("」！？", "windows-31j") +
                    "\nNoTop_Hang=" + ConvertFromUtf8("、。", "windows-31j") +
                    "\nNoEnd=" + ConvertFromUtf8("「", "windows-31j") + "\nCharSet=0\nTemporary=\n");
}

// What the tool must report for kSampleUtf8 in any encoding: the character
// counts of the text itself, the wrapping the library gives its Shift-JIS
// form under the same layout.
Counts ExpectedSampleCounts(const Sandbox& sandbox) {
  const std::string sjis = sandbox.Write("expected-sjis.txt", ConvertFromUtf8(kSampleUtf8, "windows-31j"));
  Counts expected = LibraryCount(sandbox, sjis, LayoutStatusText());
  const Counts chars = CharacterCounts(kSampleUtf8);
  EXPECT_EQ(expected.crlf, chars.crlf);
  EXPECT_EQ(expected.nocrlf, chars.nocrlf);
  EXPECT_EQ(expected.nocrlf_noblank, chars.nocrlf_noblank);
  return expected;
}

std::map<std::string, std::string> CountJson(const Sandbox& sandbox, std::vector<std::string> extra,
                                             const std::string& file) {
  std::vector<std::string> args = {"count", "--json"};
  args.insert(args.end(), kLayoutArgs.begin(), kLayoutArgs.end());
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back(file);
  const ToolRun run = RunTool(sandbox, args);
  EXPECT_EQ(run.exit_status, 0) << run.err;
  const auto lines = SplitLines(run.out);
  EXPECT_EQ(lines.size(), 1U) << run.out;
  return lines.empty() ? std::map<std::string, std::string>{} : ParseJsonObject(lines[0]);
}

void ExpectCounts(const std::map<std::string, std::string>& json, const Counts& expected) {
  EXPECT_EQ(json.at("chars_with_line_ends"), std::to_string(expected.crlf));
  EXPECT_EQ(json.at("chars"), std::to_string(expected.nocrlf));
  EXPECT_EQ(json.at("chars_without_blanks"), std::to_string(expected.nocrlf_noblank));
  EXPECT_EQ(json.at("display_lines"), std::to_string(expected.line_count));
  EXPECT_EQ(json.at("pages"), std::to_string(expected.page_count));
  EXPECT_EQ(json.at("mod_count"), std::to_string(expected.mod_count));
}

struct EncodingCase {
  const char* name;       // the tool's name of the encoding
  const char* converter;  // ICU converter that writes it
  std::string_view mark;  // bytes put before the text
  bool detectable;        // whether auto finds it
};

void PrintTo(const EncodingCase& c, std::ostream* out) { *out << c.name; }

class CountEncodingTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(CountEncodingTest, ForcedAndDetectedEncodingsGiveTheCountsOfTheText) {
  const EncodingCase& c = GetParam();
  const Sandbox sandbox;
  const Counts expected = ExpectedSampleCounts(sandbox);
  const std::string file =
      sandbox.Write("sample.txt", std::string(c.mark) + ConvertFromUtf8(kSampleUtf8, c.converter));

  const auto forced = CountJson(sandbox, {"--encoding", c.name}, file);
  ExpectCounts(forced, expected);
  EXPECT_EQ(forced.at("encoding"), c.name);
  EXPECT_EQ(forced.at("detected"), "false");

  if (c.detectable) {
    const auto detected = CountJson(sandbox, {}, file);
    ExpectCounts(detected, expected);
    EXPECT_EQ(detected.at("encoding"), c.name);
    EXPECT_EQ(detected.at("detected"), "true");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, CountEncodingTest,
    ::testing::Values(EncodingCase{"sjis", "windows-31j", "", true},
                      EncodingCase{"euc-jp", "EUC-JP", "", true},
                      EncodingCase{"iso-2022-jp", "ISO-2022-JP", "", true},
                      EncodingCase{"utf-8", "UTF-8", "", true},
                      EncodingCase{"utf-16", "UTF-16LE", "\xFF\xFE", true},
                      // Without a mark UTF-7 reads as ASCII: only forced.
                      EncodingCase{"utf-7", "UTF-7", "", false}),
    [](const ::testing::TestParamInfo<EncodingCase>& param_info) {
      std::string name = param_info.param.name;
      std::erase(name, '-');
      return name;
    });

TEST(CountTest, CharSetNumbersSelectTheEncodingLikeNames) {
  const Sandbox sandbox;
  const Counts expected = ExpectedSampleCounts(sandbox);
  const std::string file = sandbox.Write("euc.txt", ConvertFromUtf8(kSampleUtf8, "EUC-JP"));
  const auto json = CountJson(sandbox, {"--encoding", "3"}, file);
  ExpectCounts(json, expected);
  EXPECT_EQ(json.at("char_set"), "3");
}

// A byte-order mark chooses the encoding; the mark itself is no character
// of the text, and a big-endian mark makes the rest read big-endian.
TEST(CountTest, AutoMeasuresTheTextBehindAByteOrderMark) {
  const Sandbox sandbox;
  const Counts expected = ExpectedSampleCounts(sandbox);
  const std::string utf8 = sandbox.Write("bom8.txt", "\xEF\xBB\xBF" + std::string(kSampleUtf8));
  ExpectCounts(CountJson(sandbox, {}, utf8), expected);
  const std::string big_endian =
      sandbox.Write("bom16be.txt", "\xFE\xFF" + ConvertFromUtf8(kSampleUtf8, "UTF-16BE"));
  const auto json = CountJson(sandbox, {}, big_endian);
  ExpectCounts(json, expected);
  EXPECT_EQ(json.at("encoding"), "utf-16");
}

TEST(CountTest, JsonLinesCarryOneObjectPerFileWithItsLayout) {
  const Sandbox sandbox;
  const std::string a = sandbox.Write("a.txt", "abc\nde");
  const std::string b = sandbox.Write("b\"q.txt", "");
  const ToolRun run = RunTool(sandbox, {"count", "--json", a, b});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const auto lines = SplitLines(run.out);
  ASSERT_EQ(lines.size(), 2U) << run.out;
  const auto first = ParseJsonObject(lines[0]);
  EXPECT_EQ(first.at("file"), a);
  EXPECT_EQ(first.at("bytes"), "6");
  EXPECT_EQ(first.at("chars_with_line_ends"), "6");
  EXPECT_EQ(first.at("chars"), "5");
  EXPECT_EQ(first.at("display_lines"), "2");
  EXPECT_EQ(first.at("pages"), "1");
  EXPECT_EQ(first.at("last_page_lines"), "2");
  EXPECT_EQ(first.at("line_length"), "20");
  EXPECT_EQ(first.at("page_length"), "20");
  EXPECT_EQ(first.at("encoding"), "sjis");
  // An empty file is one empty display line; the quote in its name is escaped.
  const auto second = ParseJsonObject(lines[1]);
  EXPECT_EQ(second.at("file"), b);
  EXPECT_EQ(second.at("chars_with_line_ends"), "0");
  EXPECT_EQ(second.at("display_lines"), "1");
}

TEST(CountTest, LastPageLinesShowAFullLastPage) {
  const Sandbox sandbox;
  // Six display lines on pages of three: two full pages.
  const std::string file = sandbox.Write("six.txt", "1\n2\n3\n4\n5\n6");
  const auto json = ParseJsonObject(
      SplitLines(RunTool(sandbox, {"count", "--json", "--page-length", "3", file}).out).at(0));
  EXPECT_EQ(json.at("pages"), "2");
  EXPECT_EQ(json.at("mod_count"), "0");
  EXPECT_EQ(json.at("last_page_lines"), "3");
}

// The six numeric cells at the end of a table row.
std::vector<std::int64_t> RowNumbers(const std::string& line) {
  std::istringstream words(line);
  std::vector<std::string> cells;
  for (std::string word; words >> word;) cells.push_back(word);
  std::vector<std::int64_t> numbers;
  for (std::size_t i = cells.size() >= 6 ? cells.size() - 6 : 0; i < cells.size(); ++i) {
    numbers.push_back(std::stoll(cells[i]));
  }
  return numbers;
}

TEST(CountTest, TableShowsEachFileAndATotalThatSumsEveryColumn) {
  const Sandbox sandbox;
  const std::string a = sandbox.Write("a.txt", ConvertFromUtf8(kSampleUtf8, "windows-31j"));
  const std::string b = sandbox.Write("b.txt", std::string(kSampleUtf8) + std::string(kSampleUtf8));
  const ToolRun run = RunTool(sandbox, {"count", "--page-length", "2", "a.txt", "b.txt"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  std::vector<std::int64_t> row_a, row_b, total;
  for (const std::string& line : SplitLines(run.out)) {
    if (line.starts_with("a.txt")) row_a = RowNumbers(line);
    if (line.starts_with("b.txt")) row_b = RowNumbers(line);
    if (line.starts_with("total")) total = RowNumbers(line);
  }
  ASSERT_EQ(row_a.size(), 6U) << run.out;
  ASSERT_EQ(row_b.size(), 6U) << run.out;
  ASSERT_EQ(total.size(), 6U) << run.out;
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(total[i], row_a[i] + row_b[i]) << "column " << i;
  EXPECT_NE(run.out.find("sjis (auto)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("utf-8 (auto)"), std::string::npos) << run.out;

  // The row agrees with the JSON form of the same file.
  const auto json = ParseJsonObject(
      SplitLines(RunTool(sandbox, {"count", "--json", "--page-length", "2", "b.txt"}).out).at(0));
  EXPECT_EQ(std::to_string(row_b[0]), json.at("chars_with_line_ends"));
  EXPECT_EQ(std::to_string(row_b[3]), json.at("display_lines"));
  EXPECT_EQ(std::to_string(row_b[4]), json.at("pages"));
  EXPECT_EQ(std::to_string(row_b[5]), json.at("last_page_lines"));
}

TEST(CountTest, OneTableRowHasNoTotal) {
  const Sandbox sandbox;
  sandbox.Write("a.txt", "abc\n");
  const ToolRun run = RunTool(sandbox, {"count", "a.txt"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.out.find("total"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("20 characters per line, 20 lines per page, built-in kinsoku"),
            std::string::npos)
      << run.out;
}

TEST(CountTest, StandardInputIsMeasuredLikeAFile) {
  const Sandbox sandbox;
  const Counts expected = ExpectedSampleCounts(sandbox);
  std::vector<std::string> args = {"count", "--json"};
  args.insert(args.end(), kLayoutArgs.begin(), kLayoutArgs.end());
  args.push_back("-");
  const ToolRun run = RunTool(sandbox, ToolCall{args, std::string(kSampleUtf8), {}, false});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const auto json = ParseJsonObject(SplitLines(run.out).at(0));
  ExpectCounts(json, expected);
  EXPECT_EQ(json.at("file"), "-");
  EXPECT_EQ(json.at("encoding"), "utf-8");
}

// A stream longer than the tool holds in memory waits in a temporary file
// of the tool's own: the counts stay those of the same text as a file, the
// memory the stream adds stays well below its size, and the file is gone
// afterwards.
TEST(CountTest, LongStandardInputIsCountedWithoutHoldingItAll) {
  const Sandbox sandbox;
  std::size_t size = 0;
  {
    // Built and let go before the tool starts: a forked child's peak
    // memory includes what the test process held at the fork.
    std::string text;
    while (text.size() < (std::size_t{48} << 20)) text += kSampleUtf8;
    sandbox.Write("long.txt", text);
    size = text.size();
  }
  sandbox.Write("tmp/keep", "");
  const auto count_piped = [&](const std::string& file) {
    return RunProgram(sandbox, "/bin/sh",
                      ToolCall{{"-c", "cat " + file + " | \"$0\" count --json -", VELTO_TOOL},
                               {},
                               {"TMPDIR=" + sandbox.Path("tmp")},
                               false});
  };
  const ToolRun empty = count_piped("/dev/null");
  const ToolRun run = count_piped("long.txt");
  ASSERT_EQ(run.exit_status, 0) << run.err;
  auto from_stdin = ParseJsonObject(SplitLines(run.out).at(0));
  auto from_file = ParseJsonObject(SplitLines(RunTool(sandbox, {"count", "--json", "long.txt"}).out).at(0));
  from_stdin.erase("file");
  from_file.erase("file");
  EXPECT_EQ(from_stdin, from_file);
  EXPECT_LT(static_cast<std::size_t>(run.peak_memory_kib - empty.peak_memory_kib) * 1024, size / 2);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sandbox.Path("tmp")), {}), 1);
}

TEST(CountTest, TemporaryFileBesideTheTargetIsNeverMeasured) {
  const Sandbox sandbox;
  sandbox.Write("a.txt", "abc\n");
  // A host's temporary file in the same folder as the target and as the
  // current directory; the library would measure it in place of the target
  // if the tool let it look.
  sandbox.Write("velto.tmp", "a much longer text than the target holds\n");
  for (const std::string& name : {std::string("a.txt"), sandbox.Path("a.txt")}) {
    const ToolRun run = RunTool(sandbox, {"count", "--json", name});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const auto json = ParseJsonObject(SplitLines(run.out).at(0));
    EXPECT_EQ(json.at("chars_with_line_ends"), "4") << name;
    EXPECT_EQ(json.at("bytes"), "4") << name;
  }
}

TEST(CountTest, WildcardCharactersInANameMeasureThatFile) {
  const Sandbox sandbox;
  // The library's directory search takes '?' as a wildcard; "a?.txt" would
  // also match "ab.txt", which sorts first.
  sandbox.Write("ab.txt", "a longer text that must not be measured\n");
  sandbox.Write("a?.txt", "xy\n");
  const ToolRun run = RunTool(sandbox, {"count", "--json", "a?.txt"});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(ParseJsonObject(SplitLines(run.out).at(0)).at("chars_with_line_ends"), "3");
}

TEST(CountTest, PathsLongerThanTheLibrarysBuffersAreMeasured) {
  const Sandbox sandbox;
  std::string name;
  while (name.size() < 300) name += "long-folder-name/";
  const std::string file = sandbox.Write(name + "text.txt", "abcde\n");
  ASSERT_GT(file.size(), 260U);
  const ToolRun run = RunTool(sandbox, {"count", "--json", file});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const auto json = ParseJsonObject(SplitLines(run.out).at(0));
  EXPECT_EQ(json.at("file"), file);
  EXPECT_EQ(json.at("chars_with_line_ends"), "6");
}

TEST(CountTest, StatusFileSettingsAreReadButTheFileIsNotWritten) {
  const Sandbox sandbox;
  const Counts expected = ExpectedSampleCounts(sandbox);
  const std::string status_text = LayoutStatusText();
  const std::string status = sandbox.Write("user.ini", status_text);
  const std::string file = sandbox.Write("sample.txt", ConvertFromUtf8(kSampleUtf8, "windows-31j"));
  const ToolRun run = RunTool(sandbox, {"count", "--json", "--status", status, file});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  ExpectCounts(ParseJsonObject(SplitLines(run.out).at(0)), expected);
  EXPECT_EQ(Sandbox::Read(status), status_text);
}

}  // namespace
}  // namespace velto::testing
