// Which code page each CharSet is read in: the one table of it.
#include <array>
#include <cstddef>

#include "platform/codepage.h"
#include "velto/measure.hpp"

namespace velto {
namespace {

// 0 marks UTF-16, which is read as 16-bit units rather than through a code
// page.
constexpr std::array<int, 8> kCodePageOfCharSet = {
    platform::kCodePageShiftJis, platform::kCodePageShiftJis, 0, platform::kCodePageEucJp,
    platform::kCodePageIso2022Jp, platform::kCodePageUtf7, platform::kCodePageUtf8, 0};

}  // namespace

int CodePageOf(CharSet char_set) {
  const auto index = static_cast<std::size_t>(static_cast<std::int32_t>(char_set));
  // Negative numbers wrap to huge indexes and are outside the table too.
  return index < kCodePageOfCharSet.size() ? kCodePageOfCharSet[index] : platform::kCodePageShiftJis;
}

}  // namespace velto
