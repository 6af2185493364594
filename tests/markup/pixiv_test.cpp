// The pixiv notation, rule by rule: [[rb:]] ruby, [newpage], [chapter:],
// and malformed tags that stay text.
#include <gtest/gtest.h>

#include "rule_table.h"

namespace velto::testing {
namespace {

class PixivRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(PixivRule, LaysOutTheBaseText) { ExpectRule(GetParam(), Unwrapped(Markup::kPixiv)); }

INSTANTIATE_TEST_SUITE_P(
    Ruby, PixivRule,
    ::testing::Values(
        RuleCase{"BaseAndReading", "[[rb:漢字 > かんじ]]です", "{漢字:かんじ}です", 0},
        RuleCase{"WithoutBlanks", "[[rb:漢字>かんじ]]", "{漢字:かんじ}", 0},
        RuleCase{"BaseOfAnyCharacters", "[[rb:ひらがな > ヒラガナ]]", "{ひらがな:ヒラガナ}", 0},
        RuleCase{"NoSeparatorIsText", "[[rb:漢字]]", "[[rb:漢字]]", 0},
        RuleCase{"EmptyReadingIsText", "[[rb:漢字 > ]]", "[[rb:漢字 > ]]", 0},
        RuleCase{"UnclosedIsText", "[[rb:漢字 > かんじ]", "[[rb:漢字 > かんじ]", 0}),
    RuleName);

INSTANTIATE_TEST_SUITE_P(
    PageBreaks, PixivRule,
    ::testing::Values(
        RuleCase{"OnItsOwnLine", "前\n[newpage]\n後", "前 ‖ 後", 1, 2},
        RuleCase{"AtTheStart", "[newpage]\n本文", "本文", 0, 1},
        RuleCase{"AtTheEnd", "本文\n[newpage]\n", "本文/", 1, 1},
        RuleCase{"Twice", "前\n[newpage]\n[newpage]\n後", "前 ‖ 後", 1, 2},
        RuleCase{"InTheMiddleOfALine", "前[newpage]後", "前 ‖ 後", 0, 2}),
    RuleName);

INSTANTIATE_TEST_SUITE_P(
    Chapters, PixivRule,
    ::testing::Values(
        RuleCase{"TitleIsALine", "[chapter:第一章]\n本文", "第一章/本文", 1},
        RuleCase{"TitleWithRuby", "[chapter:[[rb:序 > じょ]]章]", "{序:じょ}章", 0},
        RuleCase{"InTheMiddleOfALine", "前[chapter:章]後", "前/章/後", 0},
        RuleCase{"UnclosedIsText", "[chapter:第一章", "[chapter:第一章", 0}),
    RuleName);

INSTANTIATE_TEST_SUITE_P(
    Text, PixivRule,
    ::testing::Values(
        RuleCase{"OtherTags", "[jump:2]と[注]", "[jump:2]と[注]", 0},
        // ゼ is 0x83 0x5B: its second byte is no bracket.
        RuleCase{"BracketAsSecondByte", "ゼnewpage]", "ゼnewpage]", 0}),
    RuleName);

}  // namespace
}  // namespace velto::testing
