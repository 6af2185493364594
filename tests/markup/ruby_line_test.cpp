// A line that holds ruby and no other markup has a lean reading of its own;
// any other markup on the line leaves the whole line to the notation's full
// reading. Both must read ruby alike: a line reads the same with markup
// after it that stays text (an unclosed bracket), which sends it the full
// way, as without.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "rule_table.h"

namespace velto::testing {
namespace {

struct RubyLineCase {
  const char* name;
  std::string_view input;  // UTF-8, one line
};

void PrintTo(const RubyLineCase& c, std::ostream* out) { *out << c.name; }

// Text that sends a line the full way and stays text itself: an unclosed
// bracket of the notation's other markup, after a character that ends an
// open bar's reach (a bar just before a bracket escapes it on the web).
std::string_view OtherMarkupAfter(Markup markup) { return markup == Markup::kWeb ? "あ（" : "あ［"; }

void ExpectSameBothWays(std::string_view input, Markup markup) {
  const Layout lean = LayOut(input, Unwrapped(markup));
  const std::string full_input = std::string(input) + std::string(OtherMarkupAfter(markup));
  const Layout full = LayOut(full_input, Unwrapped(markup));
  const auto print = ::testing::PrintToString(full_input);
  EXPECT_EQ(full.lines, lean.lines + std::string(OtherMarkupAfter(markup))) << print;
  EXPECT_EQ(full.counts.crlf, lean.counts.crlf + 2) << print;
  EXPECT_EQ(full.counts.no_crlf_no_blank, lean.counts.no_crlf_no_blank + 2) << print;
  EXPECT_EQ(full.counts.ruby_spans, lean.counts.ruby_spans) << print;
  EXPECT_EQ(full.counts.ruby_characters, lean.counts.ruby_characters) << print;
}

class RubyLine : public ::testing::TestWithParam<RubyLineCase> {};

TEST_P(RubyLine, ReadsAsTheFullReadingReadsIt) {
  for (const Markup markup : {Markup::kAozora, Markup::kWeb}) ExpectSameBothWays(GetParam().input, markup);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RubyLine,
    ::testing::Values(RubyLineCase{"KanjiRuns", "彼は魔法《まほう》を佐々木《ささき》と一ヶ月《いっかげつ》"},
                      RubyLineCase{"Bars", "｜山田《やまだ》さんと|ＡＩ《エーアイ》が"},
                      RubyLineCase{"LaterBarTakesThePlace", "｜あの｜人《ひと》|か|な《かな》"},
                      RubyLineCase{"BarWithoutReading", "｜漢字です|漢字とa|b"},
                      RubyLineCase{"BlanksInTheReading", "漢字《か　ん じ》と｜ア イ《あい》"},
                      RubyLineCase{"ReadingAfterKana", "ひらがな《よみ》と漢《かん》"},
                      RubyLineCase{"EmptyAndUnclosedReadings", "漢字《》と漢字《かんじ"},
                      RubyLineCase{"CloseBeforeOpen", "》漢字《かんじ》》"},
                      RubyLineCase{"MarkupInsideAReading", "漢《｜か《ん》字《じ》"},
                      RubyLineCase{"RubyAfterRuby", "漢《かん》字《じ》"},
                      RubyLineCase{"HalfWidthKana", "ｶﾀｶﾅ漢《かん》"}),
    [](const auto& row) { return std::string(row.param.name); });

// Random lines of the characters of ruby, kanji and kana: the lean reading
// and the full one agree on every one.
TEST(RubyLine, RandomLinesReadAsTheFullReadingReadsThem) {
  const std::vector<std::string_view> alphabet = {"《", "》", "｜", "|", "漢", "字", "々", "あ", "ア", "a", " ", "　"};
  std::mt19937 random(2024);
  for (int round = 0; round < 1500; ++round) {
    std::string line;
    const int pieces = std::uniform_int_distribution<int>(1, 40)(random);
    for (int i = 0; i < pieces; ++i) line += alphabet[random() % alphabet.size()];
    for (const Markup markup : {Markup::kAozora, Markup::kWeb}) ExpectSameBothWays(line, markup);
  }
}

}  // namespace
}  // namespace velto::testing
