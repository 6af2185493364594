// Random UTF-8 that mixes what the straight conversion to code page 932
// takes (ASCII runs of every length around a word, three-byte characters
// with one- and two-byte forms) with everything it must leave to the
// decoder: characters without a form, the edges of the three-byte range,
// two- and four-byte sequences, overlong forms, surrogates, sequences cut
// short and stray bytes.
#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <string_view>

namespace velto::testing {

inline std::string RandomUtf8Mix(std::mt19937& random, std::size_t pieces) {
  static constexpr std::string_view kPieces[] = {
      "\xE3\x81\x82", "\xE6\xBC\xA2", "\xEF\xBD\xB1", "\xEF\xBD\x9E", "\xEE\x80\x80",  // with a form
      "\xE3\x80\x9C", "\xEF\xBB\xBF", "\xEF\xBF\xBD", "\xE0\xA0\x80", "\xED\x9F\xBF",  // without one
      "\xEF\xBF\xBF", "\xC2\xA7", "\xC3\xA9", "\xF0\xA0\xAE\xB7", "\xE0\x80\x80",
      "\xED\xA0\x80", "\xE3\x81", "\xE3\x41", "\x80", "\xFF", "\xC0\xAF"};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kPieces) * 2);
  std::uniform_int_distribution<std::size_t> ascii(0, 40);
  std::string text;
  for (std::size_t i = 0; i < pieces; ++i) {
    const std::size_t k = pick(random);
    if (k < std::size(kPieces)) {
      text += kPieces[k];
    } else if (k < std::size(kPieces) + 4) {
      text.append(ascii(random), 'a');
    } else {
      text += kPieces[k % 5];  // characters with a form are the common case
    }
  }
  return text;
}

}  // namespace velto::testing
