// velto: the command line. This file only wires options to the commands.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <exception>
#include <iostream>

#include "commands.h"
#include "tool_error.h"

namespace {

using velto::tool::LayoutOptions;

// Options every measuring command shares. The values stay text until the
// settings are resolved, so every refusal has one clear message.
struct LayoutFlags {
  std::string line_length, page_length, no_top, hang, no_end, status_file, encoding, markup;
  CLI::Option* line_length_option = nullptr;
  CLI::Option* page_length_option = nullptr;
  CLI::Option* no_top_option = nullptr;
  CLI::Option* hang_option = nullptr;
  CLI::Option* no_end_option = nullptr;
  CLI::Option* status_option = nullptr;
  CLI::Option* encoding_option = nullptr;
  CLI::Option* markup_option = nullptr;
  bool no_kinsoku = false;
  bool aozora_body_only = false;

  void AddTo(CLI::App& command) {
    line_length_option =
        command
            .add_option("--line-length", line_length,
                        "Characters per display line: 0 (no wrapping) or 10 and more [20]")
            ->type_name("N");
    page_length_option =
        command.add_option("--page-length", page_length, "Display lines per page, 0 for no paging [20]")
            ->type_name("N");
    no_top_option = command
                        .add_option("--no-top", no_top,
                                    "Characters that may not begin a line and may not hang "
                                    "(replaces the built-in set)")
                        ->type_name("CHARS");
    hang_option = command
                      .add_option("--hang", hang,
                                  "Characters that may not begin a line but may hang past the margin")
                      ->type_name("CHARS");
    no_end_option = command.add_option("--no-end", no_end, "Characters that may not end a line")
                        ->type_name("CHARS");
    command.add_flag("--no-kinsoku", no_kinsoku,
                     "No built-in line-break rules (the three sets start empty)");
    status_option = command
                        .add_option("--status", status_file,
                                    "Take every setting from this status file (it is only read); "
                                    "options given as well win")
                        ->type_name("FILE");
    encoding_option =
        command
            .add_option("--encoding", encoding,
                        "auto, sjis, utf-16, euc-jp, iso-2022-jp, utf-7, utf-8 or a CharSet number 0-7 [auto]")
            ->type_name("NAME");
    markup_option = command
                        .add_option("--markup", markup,
                                    "Writers' markup left out of the count: none, aozora, web or "
                                    "pixiv [none]")
                        ->type_name("NAME");
    command.add_flag("--aozora-body-only", aozora_body_only,
                     "With --markup aozora: leave out the header block and the colophon");
  }

  LayoutOptions Options() const {
    LayoutOptions options;
    const auto take = [](const CLI::Option* option, const std::string& value) {
      return option->count() > 0 ? std::optional<std::string>(value) : std::nullopt;
    };
    options.line_length = take(line_length_option, line_length);
    options.page_length = take(page_length_option, page_length);
    options.no_top = take(no_top_option, no_top);
    options.hang = take(hang_option, hang);
    options.no_end = take(no_end_option, no_end);
    options.status_file = take(status_option, status_file);
    options.encoding = take(encoding_option, encoding);
    options.no_kinsoku = no_kinsoku;
    options.markup = take(markup_option, markup);
    options.aozora_body_only = aozora_body_only;
    return options;
  }
};

int Run(int argc, char** argv) {
  CLI::App app{"velto - character, line and page counts of Japanese text", "velto"};
  app.set_version_flag("--version", std::string("velto ") + VELTO_VERSION);
  app.require_subcommand(1);

  velto::tool::CountOptions count;
  LayoutFlags count_flags;
  CLI::App* count_command = app.add_subcommand(
      "count", "Count characters, display lines and pages (- reads standard input)");
  count_flags.AddTo(*count_command);
  count_command->add_flag("--json", count.json, "One JSON object per file, one per line");
  count_command->add_option("FILE", count.files, "Files to measure")->required();

  velto::tool::ShowOptions show;
  LayoutFlags show_flags;
  CLI::App* show_command =
      app.add_subcommand("show", "Print the text laid out in display lines and pages");
  show_flags.AddTo(*show_command);
  show_command->add_option("FILE", show.file, "File to lay out (- reads standard input)")->required();
  CLI::Option* html_flag = show_command->add_flag(
      "--html", show.html, "Draw the pages as manuscript sheets in one HTML file");
  show_command->add_option("-o,--output", show.output, "Write the HTML to FILE [standard output]")
      ->type_name("FILE")
      ->needs(html_flag);
  CLI::Option* vertical_flag = show_command->add_flag("--vertical")
                                   ->description("Sheets in columns, right to left (the default)")
                                   ->needs(html_flag);
  show_command->add_flag("--horizontal", show.horizontal, "Sheets in rows, top to bottom")
      ->needs(html_flag)
      ->excludes(vertical_flag);

  velto::tool::StatusOptions status;
  CLI::App* status_command = app.add_subcommand(
      "status", "Call GetStatus on TARGET with STATUS.ini as a host does (writes STATUS.ini)");
  bool file_only = false;
  bool data_only = false;
  auto* file_flag = status_command->add_flag("--file", file_only, "Call GetFileStatus only");
  status_command->add_flag("--data", data_only, "Call GetDataStatus only")->excludes(file_flag);
  status_command->add_option("TARGET", status.target, "Target file")->required();
  status_command->add_option("STATUS", status.status_file, "Status file (must exist)")->required();

  CLI::App* time_command = app.add_subcommand("time", "Convert between epoch seconds and local time");
  time_command->require_subcommand(1);
  std::string epoch;
  std::string format;
  CLI::App* to_local = time_command->add_subcommand("to-local", "Epoch seconds to local time");
  to_local->add_option("EPOCH", epoch, "Seconds since 1970-01-01 00:00:00 UTC")->required();
  auto* format_option = to_local->add_option("FORMAT", format, "strftime-like format [%Y/%m/%d %H:%M:%S]");
  std::string datetime;
  CLI::App* to_epoch = time_command->add_subcommand("to-epoch", "Local time to epoch seconds");
  to_epoch->add_option("DATETIME", datetime, "Local standard time, YYYYMMDDhhmmss")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);  // --help, --version
    std::cerr << "velto: " << error.what() << '\n';
    return velto::tool::kExitUsage;
  }

  if (*count_command) {
    count.layout = count_flags.Options();
    return velto::tool::RunCount(count, std::cout);
  }
  if (*show_command) {
    show.layout = show_flags.Options();
    show.underline_ruby = isatty(STDOUT_FILENO) != 0;
    return velto::tool::RunShow(show, std::cout);
  }
  if (*status_command) {
    status.call = file_only   ? velto::tool::StatusCall::kFileOnly
                  : data_only ? velto::tool::StatusCall::kDataOnly
                              : velto::tool::StatusCall::kFileAndData;
    return velto::tool::RunStatus(status, std::cout);
  }
  if (*to_local) {
    return velto::tool::RunTimeToLocal(
        epoch, format_option->count() > 0 ? std::optional<std::string>(format) : std::nullopt,
        std::cout);
  }
  return velto::tool::RunTimeToEpoch(datetime, std::cout);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const velto::tool::ToolError& error) {
    std::cerr << "velto: " << error.what() << '\n';
    return error.exit_status();
  } catch (const std::exception& error) {
    std::cerr << "velto: " << error.what() << '\n';
  } catch (...) {
    std::cerr << "velto: unexpected error\n";
  }
  return velto::tool::kExitFailure;
}
