// One file measured through the library's export with the tool's private
// status file: what count and show share.
#pragma once

#include <string>

#include "measured_input.h"
#include "private_status.h"
#include "settings.h"

namespace velto::tool {

struct Measurement {
  MeasuredInput input;
  MeasureResults results;
};

class Measurer {
 public:
  explicit Measurer(const MeasureSettings& settings)
      : settings_(settings), status_(folder_) {}

  // Prepares the file (see PrepareInput), writes the private status file for
  // its CharSet and runs GetDataStatus. Throws a ToolError when the file
  // cannot be measured.
  Measurement Measure(const std::string& name);

  const MeasureSettings& settings() const { return settings_; }
  // The status file of the last measurement (for the wrapping settings).
  const PrivateStatus& status() const { return status_; }

 private:
  MeasureSettings settings_;
  PrivateFolder folder_;
  PrivateStatus status_;
  bool stdin_taken_ = false;
};

// "20 characters per line, 20 lines per page, built-in kinsoku" and the
// like, for the heading of the output.
std::string DescribeLayout(const MeasureSettings& settings, const LayoutOptions& options);

// The lines on the last page: the remainder, or a whole page when the last
// page is full; 0 without paging.
std::int64_t LastPageLines(const MeasureResults& results, std::int32_t page_length);

// The encoding as shown: "utf-8", and "(auto)" behind a detected one.
std::string EncodingLabel(const MeasuredInput& input);

}  // namespace velto::tool
