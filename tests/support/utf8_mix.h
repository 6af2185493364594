// Random UTF-8 that mixes what the straight conversion to code page 932
// takes (ASCII runs of every length around a word, three-byte characters
// with one- and two-byte forms) with everything it must leave to the
// decoder: characters without a form, the edges of the three-byte range,
// two- and four-byte sequences, overlong forms, surrogates, sequences cut
// short and stray bytes. Tests of the straight conversion run once per
// variant of it.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <random>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "support/variant_test.h"

namespace velto::platform {
// Test lists and failures name the variant.
inline void PrintTo(Utf8Variant variant, std::ostream* out) { *out << NameOf(variant); }
}  // namespace velto::platform

namespace velto::testing {

// The pieces that the straight conversion must leave to the decoder.
inline constexpr std::string_view kUtf8Unplain[] = {
    "\xE3\x80\x9C", "\xEF\xBB\xBF", "\xEF\xBF\xBD", "\xE0\xA0\x80", "\xED\x9F\xBF",  // without a form
    "\xEF\xBF\xBF", "\xC2\xA7",     "\xC3\xA9",     "\xF0\xA0\xAE\xB7", "\xE0\x80\x80",
    "\xED\xA0\x80", "\xE3\x81",     "\xE3\x41",     "\x80",           "\xFF", "\xC0\xAF"};

// A test per variant of the straight conversion.
using Utf8VariantTest = VariantTest<platform::Utf8Variant>;

inline std::string RandomUtf8Mix(std::mt19937& random, std::size_t pieces) {
  static constexpr std::string_view kPlain[] = {
      "\xE3\x81\x82", "\xE6\xBC\xA2", "\xEF\xBD\xB1", "\xEF\xBD\x9E", "\xEE\x80\x80"};
  constexpr std::size_t kKinds = std::size(kPlain) + std::size(kUtf8Unplain);
  std::uniform_int_distribution<std::size_t> pick(0, kKinds * 2);
  std::uniform_int_distribution<std::size_t> ascii(0, 40);
  std::string text;
  for (std::size_t i = 0; i < pieces; ++i) {
    const std::size_t k = pick(random);
    if (k < std::size(kPlain)) {
      text += kPlain[k];
    } else if (k < kKinds) {
      text += kUtf8Unplain[k - std::size(kPlain)];
    } else if (k < kKinds + 4) {
      text.append(ascii(random), 'a');
    } else {
      text += kPlain[k % std::size(kPlain)];  // characters with a form are the common case
    }
  }
  return text;
}

}  // namespace velto::testing
