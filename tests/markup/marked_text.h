// Marked-up texts for the markup tests: written in UTF-8 in the tests,
// measured as code page 932, and laid out in a compact form that shows
// display lines, pages and ruby at a glance.
#pragma once

#include <string>
#include <string_view>

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

}  // namespace velto::testing
