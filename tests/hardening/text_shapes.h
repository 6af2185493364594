// Shapes of the texts the library writes, checked without regular
// expressions.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace velto::testing {

// Whether text has the shape, where 'd' stands for any decimal digit and
// every other byte for itself.
inline bool HasShape(std::string_view text, std::string_view shape) {
  if (text.size() != shape.size()) return false;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (shape[i] == 'd' ? !digit : text[i] != shape[i]) return false;
  }
  return true;
}

// A TimeStamp as the status file holds it.
inline bool IsTimeStamp(std::string_view text) { return HasShape(text, "dddd/dd/dd dd:dd:dd"); }

// An epoch result: canonical signed decimal of -1 or more.
inline bool IsEpochText(std::string_view text) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value >= -1 &&
         std::to_string(value) == text;
}

}  // namespace velto::testing
