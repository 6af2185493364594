// Text conversions of the tool: the terminal speaks UTF-8, the library
// speaks code page 932. Going towards the library nothing may be lost
// silently, so the conversion refuses any character without a code page 932
// form instead of letting it become "?".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velto::tool {

// One step of UTF-8 decoding.
enum class Utf8Step {
  kValid,      // code_point holds the next character
  kInvalid,    // the byte at pos starts no valid sequence (pos moved past it)
  kTruncated,  // a valid start cut off by the end of the text (pos at end)
};

// Decodes the character at pos and moves pos past it. Overlong forms,
// surrogates and values above U+10FFFF are invalid.
Utf8Step NextUtf8(std::string_view text, std::size_t& pos, char32_t& code_point);

// UTF-8 to code page 932. Returns false and a one-line reason in error when
// the text is not valid UTF-8 or holds a character code page 932 cannot
// express (the reason names the character and its code point).
bool Utf8ToCp932(std::string_view utf8, std::string& out, std::string& error);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view units);

// Code page 932 to UTF-8. Bytes that form no character become U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);

// "U+00E9 é" style description of one code point, for messages.
std::string DescribeCodePoint(char32_t code_point);

// Appends the UTF-8 form of one code point.
void AppendUtf8(char32_t code_point, std::string& out);

}  // namespace velto::tool
