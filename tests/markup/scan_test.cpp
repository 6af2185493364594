// The scanning the filters rely on: the character classes of their rules
// against Unicode, and the block-wise trigger search and the backward step
// against reading one character after another.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "marked_text.h"
#include "measure/line_counts.h"
#include "measure/markup/scan.h"
#include "support/scan_variants.h"

namespace velto::measure::markup {
namespace {

bool IsUnicodeKanji(char16_t unit) {
  return (unit >= 0x4E00 && unit <= 0x9FFF) || (unit >= 0x3400 && unit <= 0x4DBF) ||
         (unit >= 0xF900 && unit <= 0xFAFF) || unit == u'々' || unit == u'〆' || unit == u'〇' ||
         unit == u'ヶ';
}

bool IsUnicodeKana(char16_t unit) {
  return (unit >= 0x3041 && unit <= 0x3096) || (unit >= 0x30A1 && unit <= 0x30F6) || unit == u'ー' ||
         (unit >= 0x309D && unit <= 0x309E) || (unit >= 0x30FD && unit <= 0x30FE) ||
         (unit >= 0xFF66 && unit <= 0xFF9F);
}

// Every character of code page 932, one and two bytes.
TEST(CharacterClasses, AgreeWithUnicodeOnEveryCharacter) {
  for (unsigned lead = 0x20; lead <= 0xFC; ++lead) {
    const bool wide = sjis::IsLeadByte(static_cast<unsigned char>(lead));
    for (unsigned second = wide ? 0x40 : 0; second <= (wide ? 0xFCu : 0u); ++second) {
      if (wide && second == 0x7F) continue;
      std::string c(1, static_cast<char>(lead));
      if (wide) c += static_cast<char>(second);
      const std::u16string units = sjis::ToUtf16(c);
      if (units.size() != 1 || units[0] == u'\uFFFD') continue;
      EXPECT_EQ(IsKanji(c, 0), IsUnicodeKanji(units[0])) << std::hex << lead << ' ' << second;
      EXPECT_EQ(IsKana(c, 0), IsUnicodeKana(units[0])) << std::hex << lead << ' ' << second;
    }
  }
}

// Random lines of bytes that favour lead bytes, the trigger bytes and the
// second bytes that look like them.
std::string RandomLine(std::mt19937& random) {
  static constexpr unsigned char kBytes[] = {0x81, 0x62, 0x73, 0x74, 0x6d, 0x69, '|', '(', '[', 0x88,
                                             0x9f, 0xe0, 0x41, 0xa6, 'a',  0x5b, 0x7c};
  std::string line(std::uniform_int_distribution<std::size_t>(0, 200)(random), '\0');
  for (char& byte : line) byte = static_cast<char>(kBytes[random() % std::size(kBytes)]);
  return line;
}

// 《 ｜ | ［ [ as triggers, with 》.
constexpr Triggers kTriggers{0x73, 0x62, '|', 0x6d, '[', 0x74};

TEST(TriggerScanner, FindsWhatACharacterWalkFinds) {
  const auto is_trigger = [](std::string_view line, std::size_t at) {
    return IsAt(line, at, "\x81\x62") || IsAt(line, at, "\x81\x73") || IsAt(line, at, "\x81\x6d") ||
           line[at] == '|' || line[at] == '[';
  };
  std::mt19937 random(15);
  for (int round = 0; round < 3000; ++round) {
    const std::string line = RandomLine(random);
    TriggerScanner scanner(line, kTriggers);
    std::size_t at = 0;
    for (std::size_t walk = 0; walk < line.size(); walk += sjis::CharLength(line, walk)) {
      if (!is_trigger(line, walk)) continue;
      ASSERT_EQ(scanner.Next(at), walk) << ::testing::PrintToString(line);
      at = walk + sjis::CharLength(line, walk);
    }
    ASSERT_EQ(scanner.Next(at), line.size()) << ::testing::PrintToString(line);
  }
}

TEST(FindInLane, BothWaysAgreeWithReadingByteByByte) {
  std::mt19937 random(31);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes = RandomLine(random) + std::string(17, '\x73');
    const std::string c = round % 2 == 0 ? std::string("\x81\x73") : std::string("|");
    std::uint32_t expected = 0;
    for (std::size_t i = 0; i < kLaneBytes; ++i) expected |= std::uint32_t{bytes.compare(i, c.size(), c) == 0} << i;
    ASSERT_EQ(FindInLane(bytes.data(), c), expected) << ::testing::PrintToString(bytes);
    ASSERT_EQ(FindInLanePortable(bytes.data(), c), expected) << ::testing::PrintToString(bytes);
  }
}

// Everything the scan of a line answers, in each variant, against a walk
// through its characters: its counts, boundaries, the characters of every
// part from one boundary to another, triggers, and the search for a
// character. Lines of up to 200 bytes cross the blocks of the scan at every
// place, and a trigger's two bytes often lie in two blocks.
using TriggerScannerTest = testing::ScanVariantTest;

TEST_P(TriggerScannerTest, AnswersWhatACharacterWalkAnswers) {
  std::mt19937 random(37);
  TriggerScanner scanner(kTriggers);
  for (int round = 0; round < 1500; ++round) {
    std::string line = RandomLine(random);
    for (int i = 0; i < 6 && !line.empty(); ++i) line[random() % line.size()] = round % 2 == 0 ? ' ' : '\x40';
    ASSERT_EQ(scanner.Scan(line, GetParam()), CountCharactersAndBlanks(line));
    std::vector<std::size_t> boundaries;
    for (std::size_t at = 0; at < line.size(); at += sjis::CharLength(line, at)) boundaries.push_back(at);
    boundaries.push_back(line.size());
    const auto print = ::testing::PrintToString(line);
    for (std::size_t at = 0; at <= line.size(); ++at) {
      const bool boundary = std::find(boundaries.begin(), boundaries.end(), at) != boundaries.end();
      ASSERT_EQ(scanner.IsBoundary(at), boundary) << print << " at " << at;
    }
    // The characters of a part are those a walk reads in it, a lead byte
    // that the end of the line cuts off included.
    const std::size_t first = random() % boundaries.size();
    for (std::size_t i = first; i < boundaries.size(); ++i) {
      ASSERT_EQ(scanner.Characters(boundaries[first], boundaries[i]), i - first)
          << print << ' ' << boundaries[first] << '-' << boundaries[i];
    }
    const std::size_t from = boundaries[first];
    std::size_t next_trigger = line.size();
    std::size_t next_close = line.size();
    bool only_ruby = true;
    for (std::size_t i = boundaries.size(); i-- > 0;) {
      const std::size_t at = boundaries[i];
      const bool ruby = IsAt(line, at, "\x81\x62") || IsAt(line, at, "\x81\x73") || (at < line.size() && line[at] == '|');
      const bool other = IsAt(line, at, "\x81\x6d") || (at < line.size() && line[at] == '[');
      if (ruby || other) next_trigger = at;
      if (IsAt(line, at, "\x81\x74")) next_close = at;
      only_ruby = only_ruby && !other;
      ASSERT_EQ(scanner.Next(at), next_trigger) << print << " from " << at;
      ASSERT_EQ(scanner.NextClose(at), next_close) << print << " from " << at;
    }
    ASSERT_EQ(scanner.OnlyRuby(), only_ruby) << print;
    std::size_t expected_close = kNotFound;
    for (std::size_t i = 0; i + 1 < boundaries.size() && expected_close == kNotFound; ++i) {
      if (boundaries[i] >= from && IsAt(line, boundaries[i], "\x81\x73")) expected_close = boundaries[i];
    }
    ASSERT_EQ(scanner.Find("\x81\x73", from), expected_close) << print << " from " << from;
  }
}
INSTANTIATE_TEST_SUITE_P(Variants, TriggerScannerTest, ::testing::ValuesIn(kScanVariants),
                         testing::VariantName<ScanVariant>);

TEST(PreviousCharStart, StepsBackOverWhatAForwardWalkRead) {
  std::mt19937 random(16);
  for (int round = 0; round < 3000; ++round) {
    const std::string line = RandomLine(random);
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < line.size(); at += sjis::CharLength(line, at)) starts.push_back(at);
    // A lone lead byte at the end ends no character another one follows.
    for (std::size_t i = 1; i < starts.size(); ++i) {
      const std::size_t floor = starts[random() % i];
      ASSERT_EQ(PreviousCharStart(line, floor, starts[i]), starts[i - 1]) << ::testing::PrintToString(line);
    }
  }
}

}  // namespace
}  // namespace velto::measure::markup
