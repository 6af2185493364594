// The measurement run: chooses the file to measure, reads it source line by
// source line, sums the character and display-line counts and writes the
// results to the status file.
#pragma once

#include <cstdint>
#include <string_view>

#include "measure/text_counter.h"

namespace velto::measure {

// The four sums of one run. They are 64-bit so that a text of more than
// 2^31 characters still reports its true counts.
struct MeasureSums {
  std::int64_t crlf = 0;              // characters, line ends included
  std::int64_t no_crlf = 0;           // characters without line ends
  std::int64_t no_crlf_no_blank = 0;  // ... and without blanks
  std::int64_t line_count = 0;        // display lines
};

// Pages of page_length display lines, and the display lines on the last,
// partial page (0 when it is full). A page_length of 0 means no paging:
// both are 0. Otherwise the division is unsigned, as the setting is.
struct Paging {
  std::int64_t page_count = 0;
  std::int64_t mod_count = 0;
};
Paging ComputePaging(std::int64_t line_count, std::uint32_t page_length);

// Blanks of a line: spaces (0x20) and ideographic spaces (0x81 0x40), each
// counted only where it begins a character. line holds no NUL byte.
std::uint32_t CountBlanks(std::string_view line);

// Measures the temporary file of the counter when one exists, else target.
// 1 when the measurement completed (or the measured path is a directory)
// and every result was written; 0 otherwise.
int MeasureTarget(TextCounter& counter, const char* target);

// Measures the file at path. 1 on completion; 0 when the profile is not
// valid, the file cannot be opened or read to its end, or a result write is
// refused; -1 when the file is not found.
int MeasureFile(TextCounter& counter, const char* path);

}  // namespace velto::measure
