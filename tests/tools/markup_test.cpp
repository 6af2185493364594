// velto count and show with --markup: the bundled samples against their
// plain twins and against counts worked out by hand, the options refused,
// and how show marks ruby.
#include <gtest/gtest.h>

#include "test_text.h"
#include "tool_runner.h"

namespace velto::testing {
namespace {

std::string Sample(std::string_view name) { return std::string(VELTO_SOURCE_DIR) + "/samples/" + std::string(name); }

std::map<std::string, std::string> CountJson(const Sandbox& sandbox, std::vector<std::string> args) {
  args.insert(args.begin(), {"count", "--json"});
  const ToolRun run = RunTool(sandbox, args);
  EXPECT_EQ(run.exit_status, 0) << run.err;
  const auto lines = SplitLines(run.out);
  return lines.size() == 1 ? ParseJsonObject(lines[0]) : std::map<std::string, std::string>{};
}

std::int64_t Number(const std::map<std::string, std::string>& json, const std::string& key) {
  return json.contains(key) ? std::stoll(json.at(key)) : -1;
}

// A marked-up sample, its plain twin (the same text with the markup taken
// out by hand) and where the twin's sections begin: the lines that come
// right after a page-break command in the sample. The web notation has no
// page-break command.
struct SampleCase {
  const char* name;
  std::vector<std::string> options;
  const char* marked;
  const char* twin;
  std::string_view section_start;  // a twin line that begins with this begins a section
};

void PrintTo(const SampleCase& c, std::ostream* out) { *out << c.name; }

// The twin cut into its sections. Each section but the last ends in the
// line end of its last line, which in the whole text ends no empty line.
std::vector<std::string> Sections(const std::string& twin, std::string_view start) {
  std::vector<std::string> sections(1);
  for (const std::string& line : SplitLines(twin)) {
    if (!start.empty() && line.starts_with(start)) {
      sections.back().pop_back();
      sections.emplace_back();
    }
    sections.back() += line + "\n";
  }
  if (!twin.ends_with('\n')) sections.back().pop_back();
  return sections;
}

class MarkupSample : public ::testing::TestWithParam<SampleCase> {};

TEST_P(MarkupSample, CountsLikeItsPlainTwin) {
  const SampleCase& c = GetParam();
  const Sandbox sandbox;
  std::vector<std::string> args = c.options;
  args.push_back(Sample(c.marked));
  const auto marked = CountJson(sandbox, args);
  const auto twin = CountJson(sandbox, {Sample(c.twin)});
  for (const char* key : {"chars_with_line_ends", "chars", "chars_without_blanks", "display_lines"}) {
    EXPECT_EQ(marked.at(key), twin.at(key)) << key;
  }
  EXPECT_GT(Number(marked, "ruby_spans"), 0);
  std::int64_t pages = 0;
  std::int64_t lines = 0;
  const auto sections = Sections(Sandbox::Read(Sample(c.twin)), c.section_start);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const auto section = CountJson(sandbox, {sandbox.Write("section" + std::to_string(i) + ".txt", sections[i])});
    pages += Number(section, "pages");
    lines += Number(section, "display_lines");
  }
  EXPECT_EQ(pages, Number(marked, "pages"));
  EXPECT_EQ(lines, Number(marked, "display_lines"));
  // Two or three manuscript pages of 400 characters.
  EXPECT_GE(Number(marked, "chars"), 600);
  EXPECT_LE(Number(marked, "pages"), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, MarkupSample,
    ::testing::Values(SampleCase{"Aozora", {"--markup", "aozora", "--aozora-body-only"}, "markup-aozora.txt",
                                 "markup-aozora.plain.txt", "第二章"},
                      SampleCase{"Web", {"--markup", "web"}, "markup-web.txt", "markup-web.plain.txt", ""},
                      SampleCase{"Pixiv", {"--markup", "pixiv"}, "markup-pixiv.txt", "markup-pixiv.plain.txt",
                                 "第二章"}),
    [](const auto& row) { return std::string(row.param.name); });

// The first four lines of each sample's text, worked out by hand at 20
// characters per line:
//   第一章　雨宿り                       7 characters, 1 blank, 1 display line
//   (blank line)                         0 characters, 1 display line
//   　終電を逃した夜、駅舎…瞬いている。 55 characters, 1 blank; ruby えきしゃ,
//                                        にじ, またた (9 characters); 3 display
//                                        lines: the 、 after 滲み hangs on the
//                                        second, 蛍光灯… fills the third
//   「傘、お持ちじゃないんですか」       15 characters, 1 display line
// With their four line ends and the empty line after the last: 81
// characters with line ends, 77 without, 75 without blanks, 7 display lines.
TEST_P(MarkupSample, FirstLinesCountAsWorkedOutByHand) {
  const SampleCase& c = GetParam();
  const Sandbox sandbox;
  const std::vector<std::string> lines = SplitLines(Sandbox::Read(Sample(c.marked)));
  std::string part;
  std::size_t text_lines = 0;
  for (const std::string& line : lines) {
    part += line + "\n";
    // The Aozora sample's header is part of the excerpt; the option leaves it out.
    if (line.find("第一章") != std::string::npos) text_lines = 1;
    else if (text_lines > 0 && ++text_lines == 4) break;
  }
  std::vector<std::string> args = c.options;
  args.push_back(sandbox.Write("part.txt", part));
  const auto json = CountJson(sandbox, args);
  EXPECT_EQ(Number(json, "chars_with_line_ends"), 81);
  EXPECT_EQ(Number(json, "chars"), 77);
  EXPECT_EQ(Number(json, "chars_without_blanks"), 75);
  EXPECT_EQ(Number(json, "display_lines"), 7);
  EXPECT_EQ(Number(json, "ruby_spans"), 3);
  EXPECT_EQ(Number(json, "ruby_characters"), 9);
}

TEST(MarkupOptions, JsonNamesTheMarkupAndCountsNoRubyWithoutIt) {
  const Sandbox sandbox;
  const std::string file = sandbox.Write("ruby.txt", "漢字《かんじ》\n");
  const auto plain = CountJson(sandbox, {file});
  EXPECT_EQ(plain.at("markup"), "none");
  EXPECT_EQ(plain.at("ruby_spans"), "0");
  EXPECT_EQ(plain.at("chars"), "7");
  const auto marked = CountJson(sandbox, {"--markup", "aozora", file});
  EXPECT_EQ(marked.at("markup"), "aozora");
  EXPECT_EQ(marked.at("ruby_spans"), "1");
  EXPECT_EQ(marked.at("ruby_characters"), "3");
  EXPECT_EQ(marked.at("chars"), "2");
}

struct RefusedCase {
  const char* name;
  std::vector<std::string> args;
  std::string_view message;
};

void PrintTo(const RefusedCase& c, std::ostream* out) { *out << c.name; }

class MarkupRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(MarkupRefused, IsAUsageError) {
  const Sandbox sandbox;
  std::vector<std::string> args = GetParam().args;
  args.push_back(sandbox.Write("text.txt", "本文\n"));
  const ToolRun run = RunTool(sandbox, args);
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Options, MarkupRefused,
    ::testing::Values(RefusedCase{"UnknownMarkup", {"count", "--markup", "markdown"}, "unknown markup \"markdown\""},
                      RefusedCase{"BodyOnlyWithoutAozora", {"show", "--aozora-body-only"}, "only with --markup aozora"},
                      RefusedCase{"BodyOnlyWithWeb", {"count", "--markup", "web", "--aozora-body-only"},
                                  "only with --markup aozora"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(MarkupShow, ReadingsStandAfterTheMarginAndPageBreaksShow) {
  const Sandbox sandbox;
  const std::string file = sandbox.Write("shown.txt", "吾輩《わがはい》は猫である。\n［＃改ページ］\n名前はまだ無い。");
  const ToolRun run = RunTool(sandbox, {"show", "--markup", "aozora", "--line-length", "10", file});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const auto lines = SplitLines(run.out);
  EXPECT_EQ(lines.at(0), file + ": utf-8 (auto), 10 characters per line, 20 lines per page, built-in kinsoku, aozora markup");
  EXPECT_EQ(lines.at(3), "1  1 |吾輩は猫である。    | 吾輩《わがはい》");
  EXPECT_EQ(lines.at(4), "-----+--------------------+ page 2");
  EXPECT_EQ(lines.at(5), "2  1 |名前はまだ無い。    |");
  // Not a terminal: no escapes.
  EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
}

TEST(MarkupShow, BaseDividedByTheMarginIsNotedOnEachLine) {
  const Sandbox sandbox;
  const std::string file = sandbox.Write("wide.txt", "|あいうえおかきくけこさしす《よみ》");
  const ToolRun run = RunTool(sandbox, {"show", "--markup", "web", "--line-length", "10", "--no-kinsoku", file});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const auto lines = SplitLines(run.out);
  EXPECT_EQ(lines.at(3), "1  1 |あいうえおかきくけこ| あいうえおかきくけこ《よみ》");
  EXPECT_EQ(lines.at(4), "1  2 |さしす              | …さしす《よみ》");
}

}  // namespace
}  // namespace velto::testing
