// One measurement engine per settings value: the wrapping tables, the reader
// of the current encoding and the line buffer, made once and used for every
// text measured with those settings. The status-file exports and the C++
// API both measure through it.
#pragma once

#include <memory>
#include <string_view>

#include "log/debug_log_file.h"
#include "measure/line_wrap.h"
#include "measure/markup/markup.h"
#include "measure/source_reader.h"
#include "velto/measure.hpp"

namespace velto::measure {

// The wrapping rules of a settings value.
LineBreakRules RulesOf(const Settings& settings);

class Engine {
 public:
  explicit Engine(const Settings& settings);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  const Settings& settings() const { return settings_; }
  void SetCharSet(CharSet char_set);

  // Measures the file at path. When log is given, the opened file and the
  // character count of every counted line are logged to it.
  Result MeasureFile(const char* path, log::DebugLogFile* log = nullptr);
  Result MeasureBytes(std::string_view bytes);

 private:
  Result Run(log::DebugLogFile* log);
  Result RunPlain(log::DebugLogFile* log);
  Result RunMarked(markup::Filter& filter, log::DebugLogFile* log);
  SourceLineReader& Reader();

  Settings settings_;
  LineWrapper wrapper_;
  std::unique_ptr<SourceLineReader> reader_;  // for settings_.char_set, made on first use
};

}  // namespace velto::measure
