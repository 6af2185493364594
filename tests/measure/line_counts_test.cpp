// The one-pass count of characters and blanks against the plain character
// operations: CountChars for the characters, and repeated FindFirstOf with a
// one-character set for the blanks.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "measure/line_counts.h"
#include "support/char_ops.h"

namespace velto::measure {
namespace {

using testing::ByteLength;
using testing::CountChars;
using testing::FindFirstOf;

std::uint32_t OccurrencesOf(const char* line, const char* character) {
  std::uint32_t found = 0;
  for (const char* at = FindFirstOf(line, character); at != nullptr;
       at = FindFirstOf(at + ByteLength(character), character)) {
    ++found;
  }
  return found;
}

std::uint32_t PlainBlanks(const std::string& line) {
  return OccurrencesOf(line.c_str(), " ") + OccurrencesOf(line.c_str(), "\x81\x40");
}

void ExpectAgreement(const std::string& line) {
  const LineCounts counts = CountCharactersAndBlanks(line);
  EXPECT_EQ(counts.characters, CountChars(line.c_str())) << ::testing::PrintToString(line);
  EXPECT_EQ(counts.blanks, PlainBlanks(line)) << ::testing::PrintToString(line);
}

TEST(LineCounts, Examples) {
  struct Case {
    std::string line;
    std::uint32_t characters, blanks;
  } const cases[] = {
      {"", 0, 0},
      {"abc\n", 4, 0},
      {"a b\x81\x40" "c", 5, 2},          // a, space, b, ideographic space, c
      {"\x88\x81\x40", 2, 0},              // 0x88 0x81 is one character, then an at sign
      {"\x82\xa0 \x81", 2, 1},             // あ, space, a lone lead byte
      {"\x81\x20", 1, 0},                  // a space that is a trail byte
      {std::string(63, 'x') + "\x81\x40", 64, 1},   // ideographic space across a block edge
      {std::string(64, 'x') + "\x81", 64, 0},        // lone lead byte opening a new block
      {std::string(63, 'x') + "\x82\xa0 ", 65, 1},  // trail byte in the next block
  };
  for (const Case& c : cases) {
    const LineCounts counts = CountCharactersAndBlanks(c.line);
    EXPECT_EQ(counts.characters, c.characters) << ::testing::PrintToString(c.line);
    EXPECT_EQ(counts.blanks, c.blanks) << ::testing::PrintToString(c.line);
  }
}

TEST(LineCounts, AgreesWithTheCharacterOperationsOnRandomLines) {
  std::mt19937 random(20261209);
  // Bytes that matter: blanks and their halves, lead bytes, ordinary bytes.
  const unsigned char interesting[] = {0x20, 0x81, 0x40, 0x82, 0xa0, 0x9f, 0xe0, 0xfc, 0x61, 0x0a, 0xdf};
  for (int round = 0; round < 3000; ++round) {
    const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 300)(random);
    std::string line;
    for (std::size_t i = 0; i < length; ++i) {
      const auto byte = random() % 2 == 0 ? interesting[random() % std::size(interesting)]
                                          : static_cast<unsigned char>(1 + random() % 255);
      line += static_cast<char>(byte);
    }
    ExpectAgreement(line);
  }
}

}  // namespace
}  // namespace velto::measure
