#include "measurement.h"

#include "progress.h"
#include "tool_error.h"

namespace velto::tool {

Measurement Measurer::Measure(const std::string& name) {
  Measurement measurement;
  measurement.input = PrepareInput(name, settings_.char_set, folder_, stdin_taken_);
  status_.Write(settings_, measurement.input.char_set);
  {
    const ProgressIndicator progress(name, measurement.input.bytes);
    if (!status_.Measure(measurement.input.path)) {
      throw ToolError("cannot measure " + name + ": the library reported a failure");
    }
  }
  measurement.results = status_.ReadResults();
  return measurement;
}

namespace {

// The library compares both lengths as unsigned numbers; a negative value
// from a status file is shown as the number it acts as.
std::string AsUnsigned(std::int32_t value) { return std::to_string(static_cast<std::uint32_t>(value)); }

}  // namespace

std::string DescribeLayout(const MeasureSettings& settings, const LayoutOptions& options) {
  std::string text = settings.line_length == 0
                         ? std::string("no wrapping")
                         : AsUnsigned(settings.line_length) + " characters per line";
  text += settings.page_length == 0 ? std::string(", no paging")
                                    : ", " + AsUnsigned(settings.page_length) + " lines per page";
  const KinsokuSets& sets = settings.sets;
  if (sets.no_top_no_hang.empty() && sets.no_top_hang.empty() && sets.no_end.empty()) {
    text += ", no kinsoku";
  } else if (options.status_file && !options.no_top && !options.hang && !options.no_end) {
    text += ", kinsoku of the status file";
  } else if (!options.no_top && !options.hang && !options.no_end && !options.no_kinsoku) {
    text += ", built-in kinsoku";
  } else {
    text += ", custom kinsoku";
  }
  return text;
}

std::int64_t LastPageLines(const MeasureResults& results, std::int32_t page_length) {
  if (results.page_count == 0) return 0;
  return results.mod_count != 0 ? results.mod_count
                                : static_cast<std::int64_t>(static_cast<std::uint32_t>(page_length));
}

std::string EncodingLabel(const MeasuredInput& input) {
  std::string label(EncodingName(input.char_set));
  if (input.detected) label += " (auto)";
  return label;
}

}  // namespace velto::tool
