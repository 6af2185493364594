// velto count: a table (or JSON lines) of the counts of each file.
#include <iostream>

#include "commands.h"
#include "measurement.h"
#include "text_output.h"
#include "tool_error.h"

namespace velto::tool {
namespace {

struct Row {
  std::string name;
  std::string encoding;
  Counts counts;
  std::int64_t last_page_lines = 0;
};

std::string JsonLine(const Measurement& m, std::int64_t last_page_lines, const Settings& layout) {
  const Counts& r = m.counts;
  std::string line = "{\"file\":" + JsonString(m.input.display_name);
  line += ",\"encoding\":" + JsonString(EncodingName(m.input.char_set));
  line += ",\"char_set\":" + std::to_string(static_cast<std::int32_t>(m.input.char_set));
  line += std::string(",\"detected\":") + (m.input.detected ? "true" : "false");
  line += ",\"bytes\":" + std::to_string(m.input.bytes);
  line += ",\"chars_with_line_ends\":" + std::to_string(r.crlf);
  line += ",\"chars\":" + std::to_string(r.no_crlf);
  line += ",\"chars_without_blanks\":" + std::to_string(r.no_crlf_no_blank);
  line += ",\"display_lines\":" + std::to_string(r.line_count);
  line += ",\"pages\":" + std::to_string(r.page_count);
  line += ",\"last_page_lines\":" + std::to_string(last_page_lines);
  line += ",\"mod_count\":" + std::to_string(r.mod_count);
  line += ",\"line_length\":" + std::to_string(layout.line_length);
  line += ",\"page_length\":" + std::to_string(layout.page_length);
  line += ",\"markup\":" + JsonString(MarkupName(layout.markup));
  line += ",\"ruby_spans\":" + std::to_string(r.ruby_spans);
  line += ",\"ruby_characters\":" + std::to_string(r.ruby_characters);
  line += "}";
  return line;
}

Row RowOf(const Measurement& m, std::uint32_t page_length) {
  return {m.input.display_name, EncodingLabel(m.input), m.counts, LastPageLines(m.counts, page_length)};
}

std::vector<std::string> Cells(const Row& row) {
  const Counts& r = row.counts;
  return {row.name,
          row.encoding,
          std::to_string(r.crlf),
          std::to_string(r.no_crlf),
          std::to_string(r.no_crlf_no_blank),
          std::to_string(r.line_count),
          std::to_string(r.page_count),
          std::to_string(row.last_page_lines)};
}

Row Total(const std::vector<Row>& rows) {
  Row total;
  total.name = "total";
  for (const Row& row : rows) {
    total.counts.crlf += row.counts.crlf;
    total.counts.no_crlf += row.counts.no_crlf;
    total.counts.no_crlf_no_blank += row.counts.no_crlf_no_blank;
    total.counts.line_count += row.counts.line_count;
    total.counts.page_count += row.counts.page_count;
    total.last_page_lines += row.last_page_lines;
  }
  return total;
}

void PrintTable(const std::vector<Row>& rows, const std::string& layout, std::ostream& out) {
  using Align = Table::Align;
  Table table({Align::kLeft, Align::kLeft, Align::kRight, Align::kRight, Align::kRight,
               Align::kRight, Align::kRight, Align::kRight});
  table.AddRow({"file", "encoding", "with line ends", "characters", "without blanks",
                "lines", "pages", "last page"});
  table.AddRule();
  for (const Row& row : rows) table.AddRow(Cells(row));
  if (rows.size() > 1) {
    table.AddRule();
    table.AddRow(Cells(Total(rows)));
  }
  out << "Layout: " << layout << "\n\n";
  table.Print(out);
}

}  // namespace

void PrintCountTable(const Measurement& m, const MeasureSettings& settings,
                     const LayoutOptions& options, std::ostream& out) {
  PrintTable({RowOf(m, settings.layout.page_length)},
             DescribeLayout(settings.layout, options), out);
}

int RunCount(const CountOptions& options, std::ostream& out) {
  const MeasureSettings settings = ResolveSettings(options.layout);
  const Settings& layout = settings.layout;
  FileMeasurer measurer(settings);
  std::vector<Row> rows;
  int status = kExitOk;
  for (const std::string& name : options.files) {
    try {
      const Measurement m = measurer.Measure(name);
      const std::int64_t last_page = LastPageLines(m.counts, layout.page_length);
      if (options.json) {
        out << JsonLine(m, last_page, layout) << '\n' << std::flush;
      } else {
        rows.push_back(RowOf(m, layout.page_length));
      }
    } catch (const ToolError& error) {
      // One bad file does not stop the others; a bad command line does.
      if (error.exit_status() == kExitUsage) throw;
      std::cerr << "velto: " << error.what() << '\n';
      status = kExitFailure;
    }
  }
  if (!options.json && !rows.empty()) PrintTable(rows, DescribeLayout(layout, options.layout), out);
  return status;
}

}  // namespace velto::tool
