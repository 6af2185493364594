// Text helpers of the tool tests: encodings made independently of the
// library (with ICU), a reader of the tool's flat JSON lines, and the
// library's own count of a file through a status file of the test's own.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "support/sandbox.h"

namespace velto::testing {

// Converts UTF-8 text with an ICU converter ("windows-31j", "EUC-JP",
// "ISO-2022-JP", "UTF-7", "UTF-16LE", "UTF-16BE", ...).
std::string ConvertFromUtf8(std::string_view utf8, const char* converter);

// A flat JSON object (string, number and true/false values) as text
// values; strings are unescaped. Fails the test on malformed input.
std::map<std::string, std::string> ParseJsonObject(std::string_view json);

struct Counts {
  std::int64_t crlf = 0;
  std::int64_t nocrlf = 0;
  std::int64_t nocrlf_noblank = 0;
  std::int64_t line_count = 0;
  std::int64_t page_count = 0;
  std::int64_t mod_count = 0;
};

// The status file text [GetStatus] with the given key=value lines.
std::string StatusText(std::string_view lines);

// Writes status_text to a status file in the sandbox, runs GetDataStatus on
// target and reads the results back.
Counts LibraryCount(const Sandbox& sandbox, const std::string& target, std::string_view status_text);

// Character counts of UTF-8 text whose every character has a code page 932
// form: all code points, without line feeds, without blanks as well.
Counts CharacterCounts(std::string_view utf8);

}  // namespace velto::testing
