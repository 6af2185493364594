// The one error type of the tool: a one-line message for standard error and
// the exit status that goes with it.
#pragma once

#include <stdexcept>
#include <string>

namespace velto::tool {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a file could not be measured, an export failed
inline constexpr int kExitUsage = 2;    // bad command line or option value

class ToolError : public std::runtime_error {
 public:
  explicit ToolError(const std::string& message, int exit_status = kExitFailure)
      : std::runtime_error(message), exit_status_(exit_status) {}
  int exit_status() const { return exit_status_; }

 private:
  int exit_status_;
};

// A bad command line: exit status 2.
inline ToolError UsageError(const std::string& message) { return ToolError(message, kExitUsage); }

}  // namespace velto::tool
