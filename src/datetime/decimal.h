// Decimal numbers as the time conversions read them: epoch texts, the
// fields of a compact date-time and the numbers inside TZ.
#pragma once

#include <cstdint>
#include <string_view>

namespace velto::datetime {

// Skips leading white space (space, tab, line feed, vertical tab, form feed,
// carriage return), takes one optional "+" or "-", then reads digits up to
// the first other byte. The value wraps in 32 bits without notice, so
// "2147483648" reads as -2147483648 and "4294967296" as 0; no digit gives 0.
std::int32_t ReadDecimal(std::string_view text);

// Two's complement arithmetic in 32 bits, for the places where a wrapping
// result is the intended one.
std::int32_t WrappingAdd(std::int32_t a, std::int32_t b);
std::int32_t WrappingMultiply(std::int32_t a, std::int32_t b);
std::int32_t WrappingNegate(std::int32_t a);

}  // namespace velto::datetime
