// The Aozora notation, rule by rule: ruby over a kanji run or after ｜,
// gaiji, annotations, the four page-break commands, and malformed markup
// that stays text.
#include <gtest/gtest.h>

#include "rule_table.h"

namespace velto::testing {
namespace {

class AozoraRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(AozoraRule, LaysOutTheBaseText) { ExpectRule(GetParam(), Unwrapped(Markup::kAozora)); }

INSTANTIATE_TEST_SUITE_P(
    Ruby, AozoraRule,
    ::testing::Values(
        RuleCase{"KanjiRunBeforeTheReading", "吾輩《わがはい》は猫である。", "{吾輩:わがはい}は猫である。", 0},
        RuleCase{"RunStopsAtKana", "これは漢字《かんじ》です", "これは{漢字:かんじ}です", 0},
        RuleCase{"MarksSetAmongKanji", "佐々木《ささき》と一ヶ月《いっかげつ》と〆切《しめきり》と〇点《れいてん》",
                 "{佐々木:ささき}と{一ヶ月:いっかげつ}と{〆切:しめきり}と{〇点:れいてん}", 0},
        RuleCase{"BarMarksWhereTheBaseBegins", "一番｜獰悪《どうあく》な", "一番{獰悪:どうあく}な", 0},
        RuleCase{"BarBeforeAnyCharacters", "｜ほんとう《・・・・》に", "{ほんとう:・・・・}に", 0},
        RuleCase{"LaterBarTakesThePlace", "｜あの｜人《ひと》", "｜あの{人:ひと}", 0},
        RuleCase{"LineEndStays", "春《はる》\n秋《あき》", "{春:はる}/{秋:あき}", 1},
        RuleCase{"RunGoesOnAcrossAnAnnotation", "漢［＃注］字《かんじ》", "{漢字:かんじ}", 0}),
    RuleName);

INSTANTIATE_TEST_SUITE_P(
    Gaiji, AozoraRule,
    ::testing::Values(
        RuleCase{"OneCharacter", "※［＃「てへん＋劣」、第3水準1-84-77］る", "※る", 0},
        RuleCase{"KanjiOfARun", "※［＃「てへん＋劣」、第3水準1-84-77］《むし》る", "{※:むし}る", 0},
        RuleCase{"InsideARun", "山※［＃「丸／ふしづくり」、第4水準2-3-59］《やまびこ》", "{山※:やまびこ}", 0},
        RuleCase{"ReferenceMarkAloneIsNoKanji", "※《こめ》", "※《こめ》", 0}),
    RuleName);

INSTANTIATE_TEST_SUITE_P(
    Annotations, AozoraRule,
    ::testing::Values(
        RuleCase{"EmphasisDotsLeftOut", "猫である［＃「猫」に傍点］。", "猫である。", 0},
        RuleCase{"HeadingMarksLeftOut", "［＃中見出し］第一章［＃中見出し終わり］", "第一章", 0},
        RuleCase{"NestedGaiji", "※［＃「口＋世」、第3水準1-15-7］だ［＃「※［＃「口＋世」、第3水準1-15-7］だ」に傍点］",
                 "※だ", 0},
        RuleCase{"AnnotationLineIsNoLine", "前\n［＃ここから２字下げ］\n後", "前/後", 1},
        RuleCase{"BlankLineStaysALine", "前\n\n後", "前//後", 2}),
    RuleName);

INSTANTIATE_TEST_SUITE_P(
    PageBreaks, AozoraRule,
    ::testing::Values(
        RuleCase{"EachCommand", "一\n［＃改ページ］\n二\n［＃改丁］\n三\n［＃改見開き］\n四\n［＃改段］\n五",
                 "一 ‖ 二 ‖ 三 ‖ 四 ‖ 五", 4, 5},
        RuleCase{"AtTheStart", "［＃改ページ］\n一\n二", "一/二", 1, 1},
        RuleCase{"AtTheEnd", "一\n［＃改ページ］", "一", 1, 1},
        RuleCase{"AtTheEndBeforeALineEnd", "一\n［＃改ページ］\n", "一/", 1, 1},
        RuleCase{"Twice", "一\n［＃改ページ］\n［＃改ページ］\n二", "一 ‖ 二", 1, 2},
        RuleCase{"InTheMiddleOfALine", "前半［＃改ページ］後半\n次", "前半 ‖ 後半/次", 1, 2},
        RuleCase{"AtTheEndOfALine", "終わり。［＃改ページ］\n次", "終わり。 ‖ 次", 1, 2},
        RuleCase{"AtTheStartOfALine", "前\n［＃改ページ］次", "前 ‖ 次", 1, 2},
        RuleCase{"OtherAnnotationIsNoBreak", "一\n［＃改行］\n二", "一/二", 1, 1}),
    RuleName);

INSTANTIATE_TEST_SUITE_P(
    Malformed, AozoraRule,
    ::testing::Values(
        RuleCase{"UnclosedReading", "漢字《かんじ", "漢字《かんじ", 0},
        RuleCase{"EmptyReading", "漢字《》", "漢字《》", 0},
        RuleCase{"ReadingAfterKana", "ひらがな《よみ》", "ひらがな《よみ》", 0},
        RuleCase{"BarWithoutReading", "｜漢字です", "｜漢字です", 0},
        RuleCase{"ReadingOnTheNextLine", "｜漢字\n《かんじ》", "｜漢字/《かんじ》", 1},
        RuleCase{"BarWithEmptyBase", "｜《よみ》", "｜《よみ》", 0},
        RuleCase{"UnclosedAnnotation", "猫［＃「猫」に傍点", "猫［＃「猫」に傍点", 0},
        RuleCase{"BracketWithoutSharp", "［注］です", "［注］です", 0},
        RuleCase{"CloseBeforeOpen", "》漢字《かんじ》", "》{漢字:かんじ}", 0}),
    RuleName);

}  // namespace
}  // namespace velto::testing
