#include "measure/line_counts.h"

#include <bit>
#include <cstring>

#include "measure/char_starts.h"

namespace velto::measure {
namespace {

using char_starts::kBlockBytes;

unsigned Count(std::uint64_t bits) { return static_cast<unsigned>(std::popcount(bits)); }

}  // namespace

LineCounts CountCharactersAndBlanks(std::string_view line) {
  LineCounts counts;
  char padded[kBlockBytes];
  // Each block begins at a character boundary.
  std::size_t position = 0;
  while (position < line.size()) {
    const std::size_t available = line.size() - position;
    const char* block = line.data() + position;
    std::uint64_t valid = ~std::uint64_t{0};
    if (available < kBlockBytes) {
      std::memset(padded, 0, sizeof padded);
      std::memcpy(padded, block, available);
      block = padded;
      valid = (std::uint64_t{1} << available) - 1;
    }
    const std::uint64_t leads = char_starts::LeadBits(block);
    const std::uint64_t starts = ~char_starts::TrailBits(leads) & valid;
    // Bit i: the byte after byte i is 0x40; for the last bit of a full block
    // that byte lies in the next block.
    std::uint64_t second_follows = char_starts::EqualBits(block, kIdeographicSecond) >> 1;
    if (available > kBlockBytes &&
        static_cast<unsigned char>(line[position + kBlockBytes]) == kIdeographicSecond) {
      second_follows |= std::uint64_t{1} << 63;
    }
    const std::uint64_t spaces = char_starts::EqualBits(block, kSpace) & starts;
    const std::uint64_t ideographic =
        char_starts::EqualBits(block, kIdeographicFirst) & starts & second_follows;
    counts.characters += Count(starts);
    counts.blanks += Count(spaces) + Count(ideographic);

    const std::uint64_t lead_starts = starts & leads;
    if (available <= kBlockBytes) {
      // A lead byte that the end of the line cuts off is no character.
      counts.characters -= static_cast<std::uint32_t>((lead_starts >> (available - 1)) & 1);
      break;
    }
    // A two-byte character that begins at the last byte ends in the next block.
    position += kBlockBytes + static_cast<std::size_t>(lead_starts >> 63);
  }
  return counts;
}

}  // namespace velto::measure
