// --aozora-body-only: the header block and the colophon are left out where
// a file has them, and everything else is text.
#include <gtest/gtest.h>

#include "rule_table.h"

namespace velto::testing {
namespace {

Settings BodyOnly() {
  Settings settings = Unwrapped(Markup::kAozora);
  settings.aozora_body_only = true;
  return settings;
}

#define VELTO_HEADER                                                                   \
  "作品名\n作者名\n\n"                                                                 \
  "-------------------------------------------------------\n"                          \
  "【テキスト中に現れる記号について】\n\n《》：ルビ\n（例）吾輩《わがはい》\n\n"      \
  "｜：ルビの付く文字列の始まりを特定する記号\n"                                       \
  "-------------------------------------------------------\n"
#define VELTO_COLOPHON "底本：「作品名」架空書房\n　　2001（平成13）年1月1日第1刷発行\n入力：誰か\n"

class BodyOnlyRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(BodyOnlyRule, LaysOutTheBody) { ExpectRule(GetParam(), BodyOnly()); }

INSTANTIATE_TEST_SUITE_P(
    Parts, BodyOnlyRule,
    ::testing::Values(
        RuleCase{"HeaderAndBlankLinesAfterItLeftOut", VELTO_HEADER "\n\n本文《ほんぶん》。\n終わり", "{本文:ほんぶん}。/終わり", 1},
        RuleCase{"ColophonAndBlankLinesBeforeItLeftOut", "本文。\n\n\n" VELTO_COLOPHON, "本文。/", 1},
        RuleCase{"ColophonAtTheVeryEnd", "本文。\n" VELTO_COLOPHON "\nファイル作成：誰か", "本文。", 1},
        RuleCase{"BothLeftOut", VELTO_HEADER "本文。\n" VELTO_COLOPHON, "本文。/", 1},
        RuleCase{"NoPartsAllText", "作品名\n\n本文。", "作品名//本文。", 2},
        RuleCase{"DashesWithoutTheNotationHeading", "題\n----------\n本文", "題/----------/本文", 2},
        RuleCase{"HeaderNeverClosed", "題\n----------\n【テキスト中に現れる記号について】\n本文",
                 "題/----------/【テキスト中に現れる記号について】/本文", 3},
        RuleCase{"ColophonWordInsideALine", "彼は底本：と書いた\n終", "彼は底本：と書いた/終", 1}),
    RuleName);

// A line that begins with 底本： and is followed by more lines than any
// colophon has is text after all.
TEST(BodyOnly, LongRunAfterAColophonLineIsText) {
  std::string text = "底本：という名の章\n";
  for (int i = 0; i < 100; ++i) text += "行\n";
  const Result result = MeasureBytes(Sjis(text), BodyOnly());
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.counts.line_count, 102);  // the final empty line included
  EXPECT_EQ(result.counts.no_crlf, 9 + 100);
}

// Without the option the header is text like any other (its ruby example
// is read as ruby).
TEST(BodyOnly, WithoutTheOptionTheHeaderCounts) {
  const std::string text = Sjis(VELTO_HEADER "本文。");
  const Result all = MeasureBytes(text, Unwrapped(Markup::kAozora));
  const Result body = MeasureBytes(text, BodyOnly());
  EXPECT_EQ(all.counts.line_count, 12);  // eleven lines of header, one of text
  EXPECT_EQ(all.counts.ruby_spans, 1);
  EXPECT_EQ(body.counts.line_count, 1);
  EXPECT_EQ(body.counts.ruby_spans, 0);
}

}  // namespace
}  // namespace velto::testing
