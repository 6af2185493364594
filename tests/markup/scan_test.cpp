// The scanning the filters rely on: the character classes of their rules
// against Unicode, and the block-wise trigger search and the backward step
// against reading one character after another.
#include <gtest/gtest.h>

#include <random>

#include "marked_text.h"
#include "measure/markup/scan.h"

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
  static constexpr unsigned char kBytes[] = {0x81, 0x62, 0x73, 0x6d, 0x69, '|', '(', '[', 0x88, 0x9f,
                                             0xe0, 0x41, 0xa6, 'a', 0x5b, 0x7c};
  std::string line(std::uniform_int_distribution<std::size_t>(0, 200)(random), '\0');
  for (char& byte : line) byte = static_cast<char>(kBytes[random() % std::size(kBytes)]);
  return line;
}

TEST(TriggerScanner, FindsWhatACharacterWalkFinds) {
  constexpr Triggers kTriggers{{0x62, 0x73, 0x6d, 0x6d}, {'|', '['}};
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
