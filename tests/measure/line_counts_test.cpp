// The one-pass count of characters and blanks against the plain character
// operations: CountChars for the characters, and repeated FindFirstOf with a
// one-character set for the blanks.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "measure/line_counts.h"
#include "support/char_ops.h"
#include "support/scan_variants.h"

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

// Every variant of the scan: the same counts, and a start bit exactly where
// reading character by character from the front finds a character.
class LineStartsTest : public testing::ScanVariantTest {
 protected:
  void ExpectAgreement(const std::string& line) const {
    LineStarts starts;
    const LineCounts counts = starts.Scan(line, GetParam());
    EXPECT_EQ(counts.characters, CountChars(line.c_str())) << ::testing::PrintToString(line);
    EXPECT_EQ(counts.blanks, PlainBlanks(line)) << ::testing::PrintToString(line);
    std::size_t next = 0;
    for (std::size_t position = 0; position < line.size(); ++position) {
      ASSERT_EQ(starts.StartsAt(position), position == next) << position << " of " << ::testing::PrintToString(line);
      if (position == next) next += sjis::IsLeadByte(static_cast<unsigned char>(line[position])) ? 2u : 1u;
    }
    EXPECT_EQ(starts.Word((line.size() + 63) / 64), 0u) << "the word after the last block";
  }
};

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

std::string RandomLine(std::mt19937& random, std::size_t longest) {
  // Bytes that matter: blanks and their halves, lead bytes, ordinary bytes.
  const unsigned char interesting[] = {0x20, 0x81, 0x40, 0x82, 0xa0, 0x9f, 0xe0, 0xfc, 0x61, 0x0a, 0xdf};
  const std::size_t length = std::uniform_int_distribution<std::size_t>(0, longest)(random);
  std::string line;
  for (std::size_t i = 0; i < length; ++i) {
    const auto byte = random() % 2 == 0 ? interesting[random() % std::size(interesting)]
                                        : static_cast<unsigned char>(1 + random() % 255);
    line += static_cast<char>(byte);
  }
  return line;
}

TEST(LineCounts, AgreesWithTheCharacterOperationsOnRandomLines) {
  std::mt19937 random(20261209);
  for (int round = 0; round < 3000; ++round) ExpectAgreement(RandomLine(random, 300));
}

TEST_P(LineStartsTest, AgreesWithTheCharacterOperations) {
  ExpectAgreement("");
  // Blanks and lead bytes on both sides of every block edge, and lines longer
  // than the reader delivers.
  for (const std::size_t before : {62u, 63u, 64u, 127u, 128u, 5200u}) {
    for (const char* tail : {"\x81\x40", " \x81", "\x82\xa0 ", "\x88\x88\x88"}) {
      ExpectAgreement(std::string(before, 'x') + tail);
      ExpectAgreement(std::string(before, '\x88') + tail);
    }
  }
  std::mt19937 random(20261210);
  for (int round = 0; round < 2000; ++round) ExpectAgreement(RandomLine(random, round % 100 == 0 ? 6000 : 300));
}

INSTANTIATE_TEST_SUITE_P(Variants, LineStartsTest, ::testing::ValuesIn(kScanVariants),
                         testing::VariantName<ScanVariant>);

}  // namespace
}  // namespace velto::measure
