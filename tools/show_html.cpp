// velto show --html: the layout drawn as manuscript sheets in one HTML
// file, with the counts of velto count above the first sheet.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands.h"
#include "manuscript_html.h"
#include "measurement.h"
#include "tool_error.h"

namespace velto::tool {
namespace {

// The file -o names may go into an existing folder only: a mistyped folder
// would otherwise hide the sheets somewhere new. Nor may it be the text
// being shown, which writing would destroy.
void CheckOutput(const std::string& path, const std::string& text) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(path).parent_path();
  if (!folder.empty() && !fs::is_directory(folder)) {
    throw ToolError("cannot write " + path + ": there is no folder " + folder.string());
  }
  std::error_code error;
  if (text != "-" && fs::equivalent(path, text, error)) {
    throw ToolError("will not write " + path + ": it is the text being shown");
  }
}

void WriteSheets(const ShowOptions& options, const MeasureSettings& settings, const Sheet& sheet,
                 const Measurement& m, std::ostream& out) {
  std::ostringstream counts;
  PrintCountTable(m, settings, options.layout, counts);
  ManuscriptWriter writer(out, sheet, options.file, m.counts.page_count);
  writer.Begin(counts.str());
  WalkDisplayLines(m, settings.layout, [&writer](const DisplayLine& line) { writer.Add(line); });
  writer.Finish();
  if (writer.lines() != m.counts.line_count || writer.sheets() != m.counts.page_count) {
    throw ToolError("internal error: " + std::to_string(writer.lines()) + " display lines on " +
                    std::to_string(writer.sheets()) + " sheets, but the count is " +
                    std::to_string(m.counts.line_count) + " on " + std::to_string(m.counts.page_count));
  }
}

}  // namespace

int RunShowHtml(const ShowOptions& options, std::ostream& out) {
  const MeasureSettings settings = ResolveSettings(options.layout);
  const Sheet sheet =
      SheetOf(settings.layout, options.horizontal ? Writing::kHorizontal : Writing::kVertical);
  if (options.output) CheckOutput(*options.output, options.file);
  FileMeasurer measurer(settings);
  const Measurement m = measurer.Measure(options.file);
  if (!options.output) {
    WriteSheets(options, settings, sheet, m, out);
    return kExitOk;
  }
  const std::string& path = *options.output;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) throw ToolError("cannot write " + path + ": " + std::strerror(errno));
  try {
    WriteSheets(options, settings, sheet, m, file);
    file.close();
    if (!file) throw ToolError("cannot write " + path + ": " + std::strerror(errno));
  } catch (...) {
    // No half-written sheet is left behind to be taken for a whole one.
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    throw;
  }
  return kExitOk;
}

}  // namespace velto::tool
