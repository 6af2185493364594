// The status-file part of the C++ API: what a program that shows or tries
// status files needs, read exactly as the exports read them.
#include "status/status_keys.h"
#include "status/status_profile.h"
#include "status/status_settings.h"
#include "velto/measure.hpp"

namespace velto {
namespace {

std::vector<std::pair<std::string, std::string>> PresentKeys(const status::StatusProfile& profile,
                                                             std::span<const char* const> keys) {
  std::vector<std::pair<std::string, std::string>> present;
  for (const char* key : keys) {
    platform::PathBuffer value{};
    if (profile.ReadString(key, value)) present.emplace_back(key, value);
  }
  return present;
}

}  // namespace

std::optional<Settings> ReadStatusSettings(const std::string& path) {
  status::StatusProfile profile;
  if (!profile.Open(path.c_str())) return std::nullopt;
  const Settings settings = status::ReadStatusSettings(profile, path.c_str()).measure;
  if (profile.ReadFailed()) return std::nullopt;
  return settings;
}

StatusResults ReadStatusResults(const std::string& path) {
  status::StatusProfile profile;
  if (!profile.Open(path.c_str())) return {};
  return {PresentKeys(profile, status::kFileResultKeys), PresentKeys(profile, status::kDataResultKeys)};
}

}  // namespace velto
