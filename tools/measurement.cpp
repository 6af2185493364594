#include "measurement.h"

#include "progress.h"
#include "tool_error.h"

namespace velto::tool {

Measurement FileMeasurer::Measure(const std::string& name) {
  Measurement measurement;
  measurement.input = PrepareInput(name, settings_.char_set, stdin_taken_);
  Result result;
  {
    const ProgressIndicator progress(name, measurement.input.bytes);
    result = MeasureInput(measurer_, measurement.input);
  }
  if (!result.ok()) throw ToolError("cannot measure " + name + ": " + std::string(Describe(result.failure)));
  measurement.counts = result.counts;
  return measurement;
}

void WalkDisplayLines(const Measurement& m, const Settings& layout,
                      const std::function<void(const DisplayLine&)>& each) {
  Settings settings = layout;
  settings.char_set = m.input.char_set;
  LineWalker walker(settings);
  const std::string& name = m.input.display_name;
  if (m.input.held) {
    walker.OpenBytes(*m.input.held);
  } else if (!walker.OpenFile(m.input.path)) {
    throw ToolError("cannot read " + name);
  }
  DisplayLine line;
  while (walker.Next(line)) each(line);
  if (walker.failure() != Failure::kNone) {
    throw ToolError("cannot read " + name + ": " + std::string(Describe(walker.failure())));
  }
}

std::string DescribeLayout(const Settings& layout, const LayoutOptions& options) {
  std::string text = layout.line_length == 0
                         ? std::string("no wrapping")
                         : std::to_string(layout.line_length) + " characters per line";
  text += layout.page_length == 0 ? std::string(", no paging")
                                  : ", " + std::to_string(layout.page_length) + " lines per page";
  if (layout.no_top_no_hang.empty() && layout.no_top_hang.empty() && layout.no_end.empty()) {
    text += ", no kinsoku";
  } else if (options.status_file && !options.no_top && !options.hang && !options.no_end) {
    text += ", kinsoku of the status file";
  } else if (!options.no_top && !options.hang && !options.no_end && !options.no_kinsoku) {
    text += ", built-in kinsoku";
  } else {
    text += ", custom kinsoku";
  }
  if (layout.markup != Markup::kNone) {
    text += ", " + std::string(MarkupName(layout.markup)) + " markup";
    if (layout.aozora_body_only) text += " (body only)";
  }
  return text;
}

std::int64_t LastPageLines(const Counts& counts, std::uint32_t page_length) {
  if (counts.page_count == 0) return 0;
  return counts.mod_count != 0 ? counts.mod_count : static_cast<std::int64_t>(page_length);
}

std::string EncodingLabel(const MeasuredInput& input) {
  std::string label(EncodingName(input.char_set));
  if (input.detected) label += " (auto)";
  return label;
}

}  // namespace velto::tool
