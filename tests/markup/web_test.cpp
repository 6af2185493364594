// The web-novel notation, rule by rule: ruby after a bar or over a kanji
// run, short kana readings in parentheses, emphasis dots, escapes, and
// malformed markup that stays text.
#include <gtest/gtest.h>

#include "rule_table.h"

namespace velto::testing {
namespace {

class WebRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(WebRule, LaysOutTheBaseText) { ExpectRule(GetParam(), Unwrapped(Markup::kWeb)); }

INSTANTIATE_TEST_SUITE_P(
    Ruby, WebRule,
    ::testing::Values(
        RuleCase{"AsciiBar", "|山田《やまだ》さん", "{山田:やまだ}さん", 0},
        RuleCase{"FullWidthBar", "｜山田《やまだ》さん", "{山田:やまだ}さん", 0},
        RuleCase{"BarBeforeAnyCharacters", "|ＡＩ《エーアイ》が", "{ＡＩ:エーアイ}が", 0},
        RuleCase{"KanjiRun", "彼は魔法《まほう》を", "彼は{魔法:まほう}を", 0},
        RuleCase{"LineEndStays", "魔法《まほう》\n次", "{魔法:まほう}/次", 1}),
    RuleName);

INSTANTIATE_TEST_SUITE_P(
    Parentheses, WebRule,
    ::testing::Values(
        RuleCase{"AfterKanji", "東京(とうきょう)へ", "{東京:とうきょう}へ", 0},
        RuleCase{"FullWidth", "東京（とうきょう）へ", "{東京:とうきょう}へ", 0},
        RuleCase{"Katakana", "魔王（サタン）が", "{魔王:サタン}が", 0},
        RuleCase{"TenKana", "寿限無（じゅげむじゅげむごこ）", "{寿限無:じゅげむじゅげむごこ}", 0},
        RuleCase{"ElevenKanaAreText", "寿限無（じゅげむじゅげむごこう）", "寿限無（じゅげむじゅげむごこう）", 0},
        RuleCase{"OtherThanKanaIsText", "愛（Love）と円(100)", "愛（Love）と円(100)", 0},
        RuleCase{"AfterKanaIsText", "ひらがな（よみ）", "ひらがな（よみ）", 0},
        RuleCase{"AfterABar", "|ＡＩ(えーあい)", "{ＡＩ:えーあい}", 0},
        RuleCase{"MixedPairIsText", "東京(とうきょう）", "東京(とうきょう）", 0}),
    RuleName);

INSTANTIATE_TEST_SUITE_P(
    Escapes, WebRule,
    ::testing::Values(
        RuleCase{"EachBracket", "|《本》と|(注)と｜（注）", "《本》と(注)と（注）", 0},
        RuleCase{"EscapedAfterKanji", "漢字|《かんじ》", "漢字《かんじ》", 0}),
    RuleName);

INSTANTIATE_TEST_SUITE_P(
    Emphasis, WebRule,
    ::testing::Values(
        RuleCase{"TextInsideCounts", "《《大事》》なこと", "大事なこと", 0},
        RuleCase{"RubyInside", "《《漢字《かんじ》》》だ", "{漢字:かんじ}だ", 0},
        RuleCase{"UnclosedIsText", "《《大事》なこと", "《《大事》なこと", 0},
        RuleCase{"EmptyIsText", "《《》》", "《《》》", 0}),
    RuleName);

INSTANTIATE_TEST_SUITE_P(
    Malformed, WebRule,
    ::testing::Values(
        RuleCase{"UnclosedReading", "漢字《かんじ", "漢字《かんじ", 0},
        RuleCase{"BarWithoutReading", "|漢字とa|b", "|漢字とa|b", 0},
        RuleCase{"ReadingAfterKana", "ひらがな《よみ》", "ひらがな《よみ》", 0},
        RuleCase{"UnclosedParenthesis", "東京(とうきょう", "東京(とうきょう", 0}),
    RuleName);

}  // namespace
}  // namespace velto::testing
