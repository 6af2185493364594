// One file measured through the library's C++ API: what count and show
// share.
#pragma once

#include <functional>
#include <string>

#include "measured_input.h"
#include "settings.h"
#include "velto/measure.hpp"

namespace velto::tool {

struct Measurement {
  MeasuredInput input;
  Counts counts;
};

class FileMeasurer {
 public:
  explicit FileMeasurer(const MeasureSettings& settings)
      : settings_(settings), measurer_(settings.layout) {}

  // Prepares the file (see PrepareInput) and measures it. Throws a
  // ToolError when the file cannot be measured.
  Measurement Measure(const std::string& name);

  const MeasureSettings& settings() const { return settings_; }

 private:
  MeasureSettings settings_;
  Measurer measurer_;
  bool stdin_taken_ = false;
};

// Walks the display lines of a measured file under the layout it was
// measured with, from the same reader, wrapping and paging as the count,
// and hands each to each. Throws a ToolError when the text cannot be read.
void WalkDisplayLines(const Measurement& m, const Settings& layout,
                      const std::function<void(const DisplayLine&)>& each);

// "20 characters per line, 20 lines per page, built-in kinsoku" and the
// like, for the heading of the output.
std::string DescribeLayout(const Settings& layout, const LayoutOptions& options);

// The lines on the last page: the remainder, or a whole page when the last
// page is full; 0 without paging.
std::int64_t LastPageLines(const Counts& counts, std::uint32_t page_length);

// The encoding as shown: "utf-8", and "(auto)" behind a detected one.
std::string EncodingLabel(const MeasuredInput& input);

}  // namespace velto::tool
