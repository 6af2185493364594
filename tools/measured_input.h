// Turning a FILE argument into the file the library measures: checks that
// it can be read, copies standard input and other streams into the private
// folder, and chooses the CharSet.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "encoding_detect.h"
#include "private_status.h"

namespace velto::tool {

struct MeasuredInput {
  std::string display_name;  // the argument as the user gave it
  std::string path;          // the file the library and the reader open
  std::int32_t char_set = 0;
  bool detected = false;     // char_set came from --encoding auto
  std::uint64_t bytes = 0;   // size of the input as the user has it
};

// Prepares one input. char_set unset means auto-detection. Reads standard
// input for "-" (at most once per run: stdin_taken tracks it). Throws a
// ToolError with a one-line message for a missing, unreadable or
// unsuitable file.
MeasuredInput PrepareInput(const std::string& name, std::optional<std::int32_t> char_set,
                           const PrivateFolder& folder, bool& stdin_taken);

}  // namespace velto::tool
