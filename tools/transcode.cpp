#include "transcode.h"

#include <array>
#include <cstdio>

#include "velto/measure.hpp"

namespace velto::tool {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The length a lead byte announces, and the least code point such a
// sequence may carry (anything below is an overlong form).
struct Utf8Lead {
  std::size_t length;
  char32_t minimum;
  char32_t bits;
};

bool ClassifyLead(unsigned char byte, Utf8Lead& lead) {
  if (byte < 0x80) {
    lead = {1, 0, byte};
  } else if ((byte & 0xE0U) == 0xC0U) {
    lead = {2, 0x80, byte & 0x1FU};
  } else if ((byte & 0xF0U) == 0xE0U) {
    lead = {3, 0x800, byte & 0x0FU};
  } else if ((byte & 0xF8U) == 0xF0U) {
    lead = {4, 0x10000, byte & 0x07U};
  } else {
    return false;
  }
  return true;
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

}  // namespace

Utf8Step NextUtf8(std::string_view text, std::size_t& pos, char32_t& code_point) {
  const auto first = static_cast<unsigned char>(text[pos]);
  Utf8Lead lead{};
  if (!ClassifyLead(first, lead)) {
    ++pos;
    return Utf8Step::kInvalid;
  }
  char32_t value = lead.bits;
  for (std::size_t i = 1; i < lead.length; ++i) {
    if (pos + i >= text.size()) {
      pos = text.size();
      return Utf8Step::kTruncated;
    }
    const auto next = static_cast<unsigned char>(text[pos + i]);
    if (!IsContinuation(next)) {
      ++pos;
      return Utf8Step::kInvalid;
    }
    value = (value << 6) | (next & 0x3FU);
  }
  if (value < lead.minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return Utf8Step::kInvalid;
  }
  pos += lead.length;
  code_point = value;
  return Utf8Step::kValid;
}

void AppendUtf8(char32_t code_point, std::string& out) {
  const auto put = [&out](char32_t byte) { out.push_back(static_cast<char>(byte)); };
  if (code_point < 0x80) {
    put(code_point);
  } else if (code_point < 0x800) {
    put(0xC0 | (code_point >> 6));
    put(0x80 | (code_point & 0x3FU));
  } else if (code_point < 0x10000) {
    put(0xE0 | (code_point >> 12));
    put(0x80 | ((code_point >> 6) & 0x3FU));
    put(0x80 | (code_point & 0x3FU));
  } else {
    put(0xF0 | (code_point >> 18));
    put(0x80 | ((code_point >> 12) & 0x3FU));
    put(0x80 | ((code_point >> 6) & 0x3FU));
    put(0x80 | (code_point & 0x3FU));
  }
}

std::string DescribeCodePoint(char32_t code_point) {
  std::array<char, 16> number{};
  std::snprintf(number.data(), number.size(), "U+%04X", static_cast<unsigned>(code_point));
  std::string text = number.data();
  // Control characters would garble the message; name them by number only.
  if (code_point >= 0x20 && code_point != 0x7F) {
    text += " \"";
    AppendUtf8(code_point, text);
    text += '"';
  }
  return text;
}

bool Utf8ToCp932(std::string_view utf8, std::string& out, std::string& error) {
  out.clear();
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const std::size_t start = pos;
    char32_t code_point = 0;
    if (NextUtf8(utf8, pos, code_point) != Utf8Step::kValid) {
      std::array<char, 48> message{};
      std::snprintf(message.data(), message.size(), "invalid UTF-8 at byte %zu", start + 1);
      error = message.data();
      return false;
    }
    const std::optional<std::string> form = sjis::FromCodePoint(code_point);
    if (!form) {
      error = "character " + DescribeCodePoint(code_point) + " has no Shift-JIS (code page 932) form";
      return false;
    }
    out += *form;
  }
  return true;
}

std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size() * 3);
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char32_t unit = units[i];
    char32_t code_point = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      code_point = 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00U);
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      code_point = kReplacement;
    }
    AppendUtf8(code_point, out);
  }
  return out;
}

std::string Cp932ToUtf8(std::string_view cp932) { return Utf16ToUtf8(sjis::ToUtf16(cp932)); }

}  // namespace velto::tool
