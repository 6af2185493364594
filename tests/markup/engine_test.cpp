// What markup does to the count as a whole: ruby totals, a base wider than
// a line, source lines that arrive in pieces, and a text measured through
// the API and through the walker alike.
#include <gtest/gtest.h>

#include <random>

#include "rule_table.h"

namespace velto::testing {
namespace {

// Ten characters to a line, so that markup meets wrapping.
Settings TenPerLine(Markup markup) {
  Settings settings = Unwrapped(markup);
  settings.line_length = 10;
  return settings;
}

struct RubyTotalsCase {
  const char* name;
  Markup markup;
  std::string_view input;
  std::int64_t spans;
  std::int64_t characters;
};

void PrintTo(const RubyTotalsCase& c, std::ostream* out) { *out << c.name; }

class RubyTotals : public ::testing::TestWithParam<RubyTotalsCase> {};

TEST_P(RubyTotals, CountSpansAndReadingCharacters) {
  const RubyTotalsCase& c = GetParam();
  const Result result = MeasureBytes(Sjis(c.input), Unwrapped(c.markup));
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.counts.ruby_spans, c.spans);
  EXPECT_EQ(result.counts.ruby_characters, c.characters);
}

INSTANTIATE_TEST_SUITE_P(
    Markups, RubyTotals,
    ::testing::Values(RubyTotalsCase{"Aozora", Markup::kAozora, "吾輩《わがはい》は｜猫《ねこ》\n時《とき》", 3, 8},
                      RubyTotalsCase{"WebEmphasisIsNoRuby", Markup::kWeb, "《《強調》》と東京(とうきょう)", 1, 5},
                      RubyTotalsCase{"Pixiv", Markup::kPixiv, "[[rb:漢字 > かんじ]]", 1, 3},
                      RubyTotalsCase{"NoneCountsNothing", Markup::kNone, "吾輩《わがはい》", 0, 0}),
    [](const auto& row) { return std::string(row.param.name); });

// The notations agree on one thing: without markup the count is the plain
// count, byte for byte.
TEST(MarkupCount, TextWithoutMarkupCountsAsPlain) {
  const std::string text = Sjis("「こんにちは」と彼は言った。\n（それから）\n\n　終わり。\n");
  const Result expected = MeasureBytes(text, TenPerLine(Markup::kNone));
  for (const Markup markup : {Markup::kAozora, Markup::kWeb, Markup::kPixiv}) {
    const Result result = MeasureBytes(text, TenPerLine(markup));
    EXPECT_EQ(result.counts.crlf, expected.counts.crlf);
    EXPECT_EQ(result.counts.no_crlf_no_blank, expected.counts.no_crlf_no_blank);
    EXPECT_EQ(result.counts.line_count, expected.counts.line_count);
  }
}

struct WideBaseCase {
  const char* name;
  Markup markup;
  std::string_view input;
  std::string_view layout;
};

void PrintTo(const WideBaseCase& c, std::ostream* out) { *out << c.name; }

class WideBase : public ::testing::TestWithParam<WideBaseCase> {};

// A base longer than a line wraps like any text, one base character to a
// cell; each of its lines carries the reading.
TEST_P(WideBase, WrapsWithTheReadingOnEachPart) {
  EXPECT_EQ(LayOut(GetParam().input, TenPerLine(GetParam().markup)).lines, GetParam().layout);
}

INSTANTIATE_TEST_SUITE_P(
    Markups, WideBase,
    ::testing::Values(
        WideBaseCase{"Aozora", Markup::kAozora, "前｜あいうえおかきくけこさしすせそ《よみ》後",
                     "前{あいうえおかきくけ:よみ}/{…こさしすせそ:よみ}後"},
        WideBaseCase{"Web", Markup::kWeb, "|あいうえおかきくけこさしすせそ《よみ》",
                     "{あいうえおかきくけこ:よみ}/{…さしすせそ:よみ}"},
        WideBaseCase{"Pixiv", Markup::kPixiv, "[[rb:あいうえおかきくけこさしすせそたちつてと > よみ]]",
                     "{あいうえおかきくけこ:よみ}/{…さしすせそたちつてと:よみ}"}),
    [](const auto& row) { return std::string(row.param.name); });

// A source line longer than 5119 bytes arrives in pieces. Markup that the
// cut divides is text, and no character is lost.
TEST(MarkupCount, MarkupAcrossAPieceCutIsText) {
  // 2558 two-byte characters and 漢 fill 5118 bytes: 《 begins the next piece.
  std::string prefix;
  for (int i = 0; i < 2558; ++i) prefix += "あ";
  const std::string cut = Sjis(prefix + "漢《かんじ》");
  const Result divided = MeasureBytes(cut, Unwrapped(Markup::kAozora));
  EXPECT_EQ(divided.counts.no_crlf, 2558 + 1 + 5);
  EXPECT_EQ(divided.counts.ruby_spans, 0);
  // Within one piece the same markup is ruby.
  const Result whole = MeasureBytes(Sjis("あ漢《かんじ》"), Unwrapped(Markup::kAozora));
  EXPECT_EQ(whole.counts.no_crlf, 2);
  EXPECT_EQ(whole.counts.ruby_spans, 1);
}

// Random lines dense in the characters of all three notations, and long
// lines of nothing but ruby (which the count, wanting no places of ruby,
// may read whole): whatever they hold, the count and the walk agree,
// markup only ever leaves characters out, and every ruby base lies inside
// its display line.
class RandomMarkup : public ::testing::TestWithParam<RandomAlphabet> {};

TEST_P(RandomMarkup, CountAndWalkAgreeAndNeverAddCharacters) {
  std::mt19937 random(1515);
  for (int round = 0; round < 400; ++round) {
    const std::string text = GetParam().Text(random);
    const Result unmarked = MeasureBytes(text, TenPerLine(Markup::kNone));
    for (const Markup markup : {Markup::kAozora, Markup::kWeb, Markup::kPixiv}) {
      Settings settings = TenPerLine(markup);
      settings.aozora_body_only = markup == Markup::kAozora && round % 2 == 1;
      const Result counted = MeasureBytes(text, settings);
      LineWalker walker(settings);
      walker.OpenBytes(text);
      DisplayLine line;
      while (walker.Next(line)) {
        for (const RubyPart& part : line.ruby) {
          ASSERT_LT(part.begin, part.end) << ::testing::PrintToString(text);
          ASSERT_LE(part.end, line.text.size()) << ::testing::PrintToString(text);
        }
      }
      const Counts walked = walker.counts();
      ASSERT_EQ(counted.counts.crlf, walked.crlf) << ::testing::PrintToString(text);
      ASSERT_EQ(counted.counts.line_count, walked.line_count) << ::testing::PrintToString(text);
      ASSERT_EQ(counted.counts.page_count, walked.page_count) << ::testing::PrintToString(text);
      ASSERT_EQ(counted.counts.ruby_spans, walked.ruby_spans) << ::testing::PrintToString(text);
      ASSERT_EQ(counted.counts.ruby_characters, walked.ruby_characters) << ::testing::PrintToString(text);
      ASSERT_EQ(counted.counts.no_crlf_no_blank, walked.no_crlf_no_blank) << ::testing::PrintToString(text);
      ASSERT_LE(counted.counts.crlf, unmarked.counts.crlf) << ::testing::PrintToString(text);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RandomMarkup,
    ::testing::Values(RandomAlphabet{"DenseMarkup",
                                 {Sjis("《"), Sjis("》"), Sjis("｜"), "|", "(", ")", Sjis("（"), Sjis("）"), Sjis("［"),
                                  Sjis("］"), Sjis("＃"), Sjis("※"), "[", "]", "[[rb:", " > ", "[newpage]",
                                  "[chapter:", Sjis("改ページ"), Sjis("漢"), Sjis("字"), Sjis("あ"), Sjis("ア"),
                                  Sjis("ゼ"), "a", "\n", "\n"},
                                 60},
                      RandomAlphabet{"RubyOnly",
                                 {Sjis("《"), Sjis("》"), Sjis("｜"), "|", Sjis("漢字"), Sjis("々"), Sjis("かな"),
                                  Sjis("《かな》"), Sjis("《か　な》"), Sjis("漢《かん》"), Sjis("｜あ《よみ》"),
                                  "|a" + Sjis("《よみ》"), " ", Sjis("　"), "a", "\n",
                                  // Kanji and not at the edges of the rows of lead bytes.
                                  Sjis("亜"), Sjis("ヶ"), "\xea\xa4", "\xea\xa5", "\x89\x7f", "\x88\x9e"},
                                 300}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace velto::testing
