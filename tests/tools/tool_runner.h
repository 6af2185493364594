// Runs the built velto tool (or another program) as a child process inside
// a test's sandbox and collects what it printed and how it ended.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/sandbox.h"

namespace velto::testing {

struct ToolRun {
  int exit_status = -1;  // -1 when the child did not exit normally
  int signal = 0;        // the signal that ended it, if one did
  long peak_memory_kib = 0;  // the child's largest resident set
  std::string out;
  std::string err;
};

struct ToolCall {
  std::vector<std::string> args;
  std::string input;                   // bytes on standard input
  std::vector<std::string> extra_env;  // NAME=value, added to the environment
  bool broken_stdout = false;          // standard output is a pipe nobody reads
};

// Runs a program (an absolute path) with the sandbox root as its current
// directory.
ToolRun RunProgram(const Sandbox& sandbox, const std::string& program, const ToolCall& call);

// Runs the tool with the sandbox root as its current directory.
inline ToolRun RunTool(const Sandbox& sandbox, const ToolCall& call) {
  return RunProgram(sandbox, VELTO_TOOL, call);
}
inline ToolRun RunTool(const Sandbox& sandbox, std::vector<std::string> args) {
  return RunTool(sandbox, ToolCall{std::move(args), {}, {}, false});
}

// The lines of a text, without their line feeds.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace velto::testing
