// Code page 932 text for programs that show it: the library's own
// conversions, so a character reads the same on the screen as in the count.
#include <array>

#include "platform/codepage.h"
#include "velto/measure.hpp"

namespace velto::sjis {

std::u16string ToUtf16(std::string_view cp932) {
  if (cp932.empty()) return {};
  platform::Decoder decoder(platform::kCodePageShiftJis);
  // No code page 932 character gives more units than it has bytes.
  std::u16string units(cp932.size(), u'\0');
  units.resize(decoder.Decode(cp932, units.data(), units.size()));
  return units;
}

std::optional<std::string> FromCodePoint(char32_t code_point) {
  if (code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) return std::nullopt;
  std::u16string units;
  if (code_point > 0xFFFF) {
    const char32_t offset = code_point - 0x10000;
    units = {static_cast<char16_t>(0xD800 + (offset >> 10)),
             static_cast<char16_t>(0xDC00 + (offset & 0x3FFU))};
  } else {
    units = {static_cast<char16_t>(code_point)};
  }
  std::array<char, 8> bytes{};
  const std::size_t length = platform::EncodeCp932(units, bytes.data(), bytes.size());
  const std::string_view form(bytes.data(), length);
  // The encoder writes "?" for a character without a form of its own.
  if (length == 0 || (form == "?" && code_point != U'?')) return std::nullopt;
  return std::string(form);
}

}  // namespace velto::sjis
