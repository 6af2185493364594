#include "marked_text.h"

#include <gtest/gtest.h>

namespace velto::testing {
namespace {

char32_t DecodeUtf8(std::string_view text, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(text[i])); };
  const char32_t first = byte(at);
  std::size_t length = first < 0x80 ? 1 : first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;
  char32_t code = length == 1 ? first : first & (0x3F >> (length - 1));
  for (std::size_t i = 1; i < length; ++i) code = (code << 6) | (byte(at + i) & 0x3F);
  at += length;
  return code;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string Sjis(std::string_view utf8) {
  std::string out;
  for (std::size_t at = 0; at < utf8.size();) {
    const char32_t code = DecodeUtf8(utf8, at);
    const std::optional<std::string> form = sjis::FromCodePoint(code);
    EXPECT_TRUE(form.has_value()) << "no code page 932 form: U+" << std::hex << static_cast<unsigned>(code);
    if (form) out += *form;
  }
  return out;
}

std::string Utf8(std::string_view cp932) {
  std::string out;
  for (const char16_t unit : sjis::ToUtf16(cp932)) AppendUtf8(out, unit);
  return out;
}

Layout LayOut(std::string_view utf8, const Settings& settings) {
  const std::string bytes = Sjis(utf8);
  LineWalker walker(settings);
  walker.OpenBytes(bytes);
  Layout layout;
  DisplayLine line;
  std::int64_t page = 0;
  while (walker.Next(line)) {
    if (page != 0) layout.lines += line.page != page ? " \u2016 " : "/";
    page = line.page;
    std::size_t at = 0;
    for (const RubyPart& part : line.ruby) {
      layout.lines += Utf8(line.text.substr(at, part.begin - at));
      layout.lines += part.first ? "{" : "{\u2026";
      layout.lines += Utf8(line.text.substr(part.begin, part.end - part.begin)) + ":" + Utf8(part.reading) + "}";
      at = part.end;
    }
    layout.lines += Utf8(line.text.substr(at));
  }
  EXPECT_EQ(walker.failure(), Failure::kNone);
  layout.counts = walker.counts();
  return layout;
}

Settings Unwrapped(Markup markup) {
  Settings settings;
  settings.page_length = 100;
  settings.markup = markup;
  return settings;
}

}  // namespace velto::testing
