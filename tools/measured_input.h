// Turning a FILE argument into the text the library measures: checks that
// it can be read, holds standard input, pipes and small files in memory
// (what outgrows memory waits in a temporary file), and chooses the CharSet.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "encoding_detect.h"
#include "velto/measure.hpp"

namespace velto::tool {

// A file of our own in the temporary folder ($TMPDIR, else /tmp), removed
// when the last input that reads it is gone.
class SpillFile;

struct MeasuredInput {
  std::string display_name;  // the argument as the user gave it
  // The text itself when it is held (standard input, a pipe, a small file);
  // else path names the file to read.
  std::optional<std::string> held;
  std::string path;
  // Standard input or a pipe too large to hold: path names this file.
  std::shared_ptr<const SpillFile> spill;
  CharSet char_set = CharSet::kShiftJis;
  bool detected = false;    // char_set came from --encoding auto
  std::uint64_t bytes = 0;  // size of the input as the user has it
};

// Prepares one input. char_set unset means auto-detection. Reads standard
// input for "-" (at most once per run: stdin_taken tracks it). Throws a
// ToolError with a one-line message for a missing, unreadable or
// unsuitable file.
MeasuredInput PrepareInput(const std::string& name, std::optional<CharSet> char_set,
                           bool& stdin_taken);

// Measures a prepared input with measurer, in the input's CharSet.
Result MeasureInput(Measurer& measurer, const MeasuredInput& input);

}  // namespace velto::tool
