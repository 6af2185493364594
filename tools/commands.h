// The commands of the tool, free of command-line parsing: main.cpp fills
// these option structs and calls one Run function, whose result is the exit
// status. Errors about single files are reported on standard error as they
// happen; errors that stop a command are thrown as ToolError.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "measurement.h"
#include "settings.h"

namespace velto::tool {

struct CountOptions {
  LayoutOptions layout;
  std::vector<std::string> files;
  bool json = false;
};
int RunCount(const CountOptions& options, std::ostream& out);
// The table RunCount prints, for one measured file.
void PrintCountTable(const Measurement& m, const MeasureSettings& settings,
                     const LayoutOptions& options, std::ostream& out);

struct ShowOptions {
  LayoutOptions layout;
  std::string file;
  // Manuscript sheets in HTML instead of the terminal layout, written to
  // output (standard output when unset), in rows instead of columns when
  // horizontal.
  bool html = false;
  std::optional<std::string> output;
  bool horizontal = false;
  bool underline_ruby = false;  // ANSI underlines under ruby bases, for a terminal
};
int RunShow(const ShowOptions& options, std::ostream& out);
int RunShowHtml(const ShowOptions& options, std::ostream& out);

enum class StatusCall { kFileAndData, kFileOnly, kDataOnly };
struct StatusOptions {
  StatusCall call = StatusCall::kFileAndData;
  std::string target;
  std::string status_file;
};
int RunStatus(const StatusOptions& options, std::ostream& out);

int RunTimeToLocal(const std::string& epoch, const std::optional<std::string>& format,
                   std::ostream& out);
int RunTimeToEpoch(const std::string& datetime, std::ostream& out);

}  // namespace velto::tool
