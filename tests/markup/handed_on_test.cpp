// What a filter hands on with each line besides its text: the counts of its
// characters and blanks, where its characters begin, and the characters of
// each reading. The count and the walk take them as they come instead of
// reading the text again, so they must be exactly what reading the
// handed-on text gives, whatever the markup: well formed, malformed, or
// cutting characters in two.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "marked_text.h"
#include "measure/line_counts.h"
#include "measure/markup/markup.h"

namespace velto::measure::markup {
namespace {

using ::testing::PrintToString;

// Counts every line and reading afresh and compares, and keeps what came:
// the texts, and the ruby's totals. A sink that wants no places of ruby
// may be handed lines read another way, which must come out the same.
class RecountingSink final : public Sink {
 public:
  explicit RecountingSink(bool wants_places = true) : wants_places_(wants_places) {}

  void Line(const MarkedLine& line) override {
    ++lines_;
    handed_on_ += std::string(line.text) + "/" + std::to_string(line.ruby_totals.spans) + "/" +
                  std::to_string(line.ruby_totals.characters) + "\n";
    std::uint32_t span_characters = 0;
    for (const RubySpan& span : line.ruby) span_characters += span.characters;
    if (wants_places_) {
      EXPECT_EQ(line.ruby_totals.spans, line.ruby.size()) << PrintToString(line.text);
      EXPECT_EQ(line.ruby_totals.characters, span_characters) << PrintToString(line.text);
    }
    LineStarts expected_starts;
    const LineCounts expected = expected_starts.Scan(line.text);
    EXPECT_EQ(line.counts.characters, expected.characters) << PrintToString(line.text);
    EXPECT_EQ(line.counts.blanks, expected.blanks) << PrintToString(line.text);
    EXPECT_EQ(line.starts.counts(), expected) << PrintToString(line.text);
    // Every word a wrapping reads, the one after the line's last included.
    for (std::size_t word = 0; word <= (line.text.size() + 63) / 64; ++word) {
      EXPECT_EQ(line.starts.Word(word), expected_starts.Word(word)) << PrintToString(line.text) << " word " << word;
    }
    for (const RubySpan& span : line.ruby) {
      ++readings_;
      EXPECT_EQ(span.characters, CountCharactersAndBlanks(span.reading).characters)
          << PrintToString(span.reading);
    }
  }
  void PageBreak() override { handed_on_ += "[page]\n"; }
  bool WantsRubyPlaces() const override { return wants_places_; }

  int lines() const { return lines_; }
  int readings() const { return readings_; }
  const std::string& handed_on() const { return handed_on_; }

 private:
  bool wants_places_;
  int lines_ = 0;
  int readings_ = 0;
  std::string handed_on_;
};

// The text in source lines as the reader delivers them.
void PushLines(const std::string& text, Filter& filter, Sink& sink) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t end = std::min(text.find('\n', begin), text.size() - 1) + 1;
    filter.Push(std::string_view(text).substr(begin, end - begin), sink);
    begin = end;
  }
  filter.Finish(sink);
}

struct HandedOnCase {
  const char* name;
  Markup markup;
  std::string_view input;  // UTF-8
  int readings;            // ruby spans handed on
};

void PrintTo(const HandedOnCase& c, std::ostream* out) { *out << c.name; }

class HandedOn : public ::testing::TestWithParam<HandedOnCase> {};

TEST_P(HandedOn, CountsAreThoseOfTheText) {
  const HandedOnCase& c = GetParam();
  RecountingSink sink;
  PushLines(testing::Sjis(c.input), *MakeFilter(c.markup, false), sink);
  EXPECT_GT(sink.lines(), 0);
  EXPECT_EQ(sink.readings(), c.readings);
}

INSTANTIATE_TEST_SUITE_P(
    Markups, HandedOn,
    ::testing::Values(
        HandedOnCase{"AozoraRubyAndBlanks", Markup::kAozora, "　吾輩《わが はい》は ｜猫《ね　こ》\n", 2},
        HandedOnCase{"AozoraBarWithoutReading", Markup::kAozora, "｜猫 ｜犬《いぬ》 ｜\n", 1},
        HandedOnCase{"AozoraPageBreakAndGaiji", Markup::kAozora, "前 ※［＃「口＋亞」］《あ》［＃改ページ］ 後\n", 1},
        HandedOnCase{"WebParenthesesAndEmphasis", Markup::kWeb, "東京（とうきょう） 《《強 調》》 |《 \n", 1},
        HandedOnCase{"PixivTagsAndChapter", Markup::kPixiv, "[chapter:章 [[rb:漢 > か ん]]] [newpage] 後\n", 1}),
    [](const auto& row) { return std::string(row.param.name); });

// Random lines dense in markup, blanks and bytes that cut characters: lone
// lead bytes, and lead bytes before the bytes a pixiv tag trims or splits
// at; and lines of nothing but ruby, which are read the lean way. Lines of
// every length cross the 64-byte blocks the scan reads.
class RandomHandedOn : public ::testing::TestWithParam<testing::RandomAlphabet> {};

TEST_P(RandomHandedOn, CountsAreThoseOfTheText) {
  std::mt19937 random(2718);
  for (int round = 0; round < 600; ++round) {
    const std::string text = GetParam().Text(random);
    for (const Markup markup : {Markup::kAozora, Markup::kWeb, Markup::kPixiv}) {
      SCOPED_TRACE(PrintToString(text));
      RecountingSink with_places;
      PushLines(text, *MakeFilter(markup, false), with_places);
      RecountingSink totals_only(false);
      PushLines(text, *MakeFilter(markup, false), totals_only);
      EXPECT_EQ(totals_only.handed_on(), with_places.handed_on());
      if (::testing::Test::HasFailure()) return;
    }
  }
}

// Marks at the edges of the 64-byte words a line may be read in, moved
// across two words byte by byte, read with and without the places of ruby.
TEST(HandedOnAtEveryOffset, LinesAreReadAlikeWhereverTheWordsEnd) {
  const auto many = [](std::string_view piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
  };
  const std::string lines[] = {
      // A bar, then a base that fills a word.
      "｜" + many("か", 40) + "《よ》",
      // A reading that fills a word.
      "漢《" + many("か", 40) + "》後",
      // A kanji, a word of kana, and 《 after kana, which is text.
      "漢《よ》漢" + many("か", 32) + "《よ》",
      // A bar after the last reading, which stays text.
      "漢《よ》" + many("か", 33) + "｜",
      // Readings in every word.
      many("漢《よ》", 20),
  };
  for (const std::string& line : lines) {
    for (std::size_t pad = 0; pad < 130; ++pad) {
      const std::string text = std::string(pad, 'a') + testing::Sjis(line) + "\n";
      for (const Markup markup : {Markup::kAozora, Markup::kWeb}) {
        RecountingSink with_places;
        PushLines(text, *MakeFilter(markup, false), with_places);
        RecountingSink totals_only(false);
        PushLines(text, *MakeFilter(markup, false), totals_only);
        ASSERT_EQ(totals_only.handed_on(), with_places.handed_on()) << PrintToString(text);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Alphabets, RandomHandedOn,
    ::testing::Values(
        testing::RandomAlphabet{"DenseMarkup",
                   {testing::Sjis("《"), testing::Sjis("》"), testing::Sjis("｜"), "|", "(", ")", testing::Sjis("（"),
                    testing::Sjis("）"), testing::Sjis("［＃"), testing::Sjis("］"), testing::Sjis("※"), "[[rb:",
                    " > ", "]]", "[newpage]", "[chapter:", "]", testing::Sjis("改ページ"), testing::Sjis("漢字"),
                    testing::Sjis("かな"), " ", testing::Sjis("　"), "a", "\x81", "\x81>", "\x81 ", "\x81\x81", "\n"},
                   120},
        testing::RandomAlphabet{"RubyOnly",
                   {testing::Sjis("《"), testing::Sjis("》"), testing::Sjis("｜"), "|", testing::Sjis("漢字"),
                    testing::Sjis("かな"), testing::Sjis("《かな》"), testing::Sjis("《か　な》"), " ",
                    testing::Sjis("　"), "a", "\x81", "\n"},
                   200}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace velto::measure::markup
