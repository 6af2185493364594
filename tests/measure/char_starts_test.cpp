#include "measure/char_starts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>


namespace velto::measure::char_starts {
namespace {

using sjis::IsLeadByte;

// A 64-byte block, weighted toward lead bytes so that long runs of them and
// every run parity occur.
std::string RandomBlock(std::mt19937& random) {
  std::string block(kBlockBytes, '\0');
  for (char& byte : block) {
    const unsigned choice = static_cast<unsigned>(random() % 4);
    const unsigned value = choice == 0   ? 0x81 + static_cast<unsigned>(random() % 31)
                           : choice == 1 ? 0xe0 + static_cast<unsigned>(random() % 29)
                                         : static_cast<unsigned>(random() % 256);
    byte = static_cast<char>(value);
  }
  return block;
}

std::uint64_t ExpectedLeadBits(const std::string& block) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < kBlockBytes; ++i) {
    if (IsLeadByte(static_cast<unsigned char>(block[i]))) bits |= std::uint64_t{1} << i;
  }
  return bits;
}

TEST(LeadBitsTest, EveryByteValueAtEveryPosition) {
  for (unsigned value = 0; value < 256; ++value) {
    for (std::size_t position = 0; position < kBlockBytes; ++position) {
      std::string block(kBlockBytes, 'a');
      block[position] = static_cast<char>(value);
      const std::uint64_t expected = ExpectedLeadBits(block);
      EXPECT_EQ(LeadBits(block.data()), expected) << value << " at " << position;
      EXPECT_EQ(LeadBitsPortable(block.data()), expected) << value << " at " << position;
    }
  }
}

TEST(LeadBitsTest, RandomBlocks) {
  std::mt19937 random(17);
  for (int i = 0; i < 2000; ++i) {
    const std::string block = RandomBlock(random);
    const std::uint64_t expected = ExpectedLeadBits(block);
    EXPECT_EQ(LeadBits(block.data()), expected) << i;
    EXPECT_EQ(LeadBitsPortable(block.data()), expected) << i;
  }
}

TEST(TrailBitsTest, AgreesWithForwardReading) {
  std::mt19937 random(19);
  for (int i = 0; i < 5000; ++i) {
    const std::string block = RandomBlock(random);
    std::uint64_t expected = 0;
    // A lead byte and whatever byte follows it form one character.
    for (std::size_t p = 0; p + 1 < kBlockBytes; ++p) {
      if (IsLeadByte(static_cast<unsigned char>(block[p]))) expected |= std::uint64_t{1} << ++p;
    }
    EXPECT_EQ(TrailBits(LeadBits(block.data())), expected) << i;
  }
}

TEST(TrailBitsTest, RunsOfLeadBytes) {
  // All lead bytes: every odd byte is a trail byte.
  EXPECT_EQ(TrailBits(~std::uint64_t{0}), 0xaaaaaaaaaaaaaaaau);
  // A run of three from bit 1 (bit 0 a single byte): trail bytes at 2 and 4.
  EXPECT_EQ(TrailBits(0b1110), 0b10100u);
  // A run of two from bit 5: trail byte at 6; the byte after the run starts one.
  EXPECT_EQ(TrailBits(0b1100000), 0b1000000u);
  EXPECT_EQ(TrailBits(0), 0u);
}

TEST(BitRanksTest, CountBelowAndSelectAgreeWithBitByBit) {
  std::mt19937_64 random(23);
  for (int i = 0; i < 3000; ++i) {
    // Sparse, dense and all-ones masks.
    std::uint64_t x = random();
    if (i % 3 == 1) x &= random();
    if (i % 3 == 2) x |= random();
    if (i == 0) x = ~std::uint64_t{0};
    const BitRanks ranks(x);
    unsigned rank = 0;
    for (unsigned bit = 0; bit < 64; ++bit) {
      EXPECT_EQ(ranks.Below(bit), rank) << std::hex << x << " below " << std::dec << bit;
      if (((x >> bit) & 1u) == 0) continue;
      EXPECT_EQ(ranks.Select(rank), bit) << std::hex << x << " rank " << rank;
      ++rank;
    }
    EXPECT_EQ(ranks.Count(), rank) << std::hex << x;
  }
  EXPECT_EQ(BitRanks(0).Count(), 0u);
}

}  // namespace
}  // namespace velto::measure::char_starts
