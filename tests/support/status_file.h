// Writing and reading status files in tests, independently of the library's
// own profile service.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace velto::testing {

using KeyValues = std::vector<std::pair<std::string, std::string>>;

// "[GetStatus]" followed by one "key=value" line per entry, LF line ends.
std::string StatusText(const KeyValues& entries);

// The keys and values of section GetStatus of an INI file (last one wins,
// values trimmed); empty when the file cannot be read.
std::map<std::string, std::string> ReadStatusSection(const std::string& path);

}  // namespace velto::testing
