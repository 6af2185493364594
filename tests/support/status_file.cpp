#include "support/status_file.h"

#include <sstream>

#include "support/sandbox.h"

namespace velto::testing {
namespace {

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string StatusText(const KeyValues& entries) {
  std::string text = "[GetStatus]\n";
  for (const auto& [key, value] : entries) text += key + "=" + value + "\n";
  return text;
}

std::map<std::string, std::string> ReadStatusSection(const std::string& path) {
  std::map<std::string, std::string> section;
  std::istringstream in(Sandbox::Read(path));
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      inside = line == "[GetStatus]";
      continue;
    }
    const auto equals = line.find('=');
    if (inside && equals != std::string::npos) {
      section[Trim(line.substr(0, equals))] = Trim(line.substr(equals + 1));
    }
  }
  return section;
}

}  // namespace velto::testing
