#include "datetime/decimal.h"

#include <cstddef>

namespace velto::datetime {
namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

// Unsigned arithmetic wraps by definition, and C++20 defines the conversion
// back to a signed type as modular, so these never overflow.
std::int32_t WrappingAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

std::int32_t WrappingMultiply(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

std::int32_t WrappingNegate(std::int32_t a) {
  return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(a));
}

std::int32_t ReadDecimal(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsWhiteSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  std::int32_t value = 0;
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    value = WrappingAdd(WrappingMultiply(value, 10), text[pos] - '0');
  }
  return negative ? WrappingNegate(value) : value;
}

}  // namespace velto::datetime
