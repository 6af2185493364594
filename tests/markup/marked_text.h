// Marked-up texts for the markup tests: written in UTF-8 in the tests,
// measured as code page 932, and laid out in a compact form that shows
// display lines, pages and ruby at a glance.
#pragma once

#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "velto/measure.hpp"

namespace velto::testing {

// UTF-8 text as code page 932 (every character must have a form there).
std::string Sjis(std::string_view utf8);
// Code page 932 text as UTF-8.
std::string Utf8(std::string_view cp932);

// The display lines of a text as the walker gives them: lines of a page
// joined by "/", pages joined by " ‖ ", each ruby base shown as
// {base:reading} ("{…base:reading}" for the part of a base that began on
// the line before).
struct Layout {
  std::string lines;
  Counts counts;  // the walker's counts
};
Layout LayOut(std::string_view utf8, const Settings& settings);

// No wrapping, pages of 100 lines, no kinsoku: one display line per
// counted line, so that a layout shows how the markup divides the text.
Settings Unwrapped(Markup markup);

// Random texts of pieces drawn from an alphabet, for tests that run over
// several alphabets; name names the alphabet in test lists.
struct RandomAlphabet {
  const char* name;
  std::vector<std::string> pieces;
  int most_pieces;

  // Up to most_pieces pieces, end to end.
  std::string Text(std::mt19937& random) const {
    std::string text;
    const int count = std::uniform_int_distribution<int>(0, most_pieces)(random);
    for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
    return text;
  }
};
inline void PrintTo(const RandomAlphabet& alphabet, std::ostream* out) { *out << alphabet.name; }

}  // namespace velto::testing
