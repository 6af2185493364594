#include "status/status_profile.h"

#include <array>
#include <charconv>
#include <cstring>
#include <vector>

#include "platform/find.h"

namespace velto::status {
namespace {

// A missing key is told from a present one by these defaults; a stored value
// equal to them reads as missing.
constexpr const char* kMissingString = "NOVALUE";
constexpr int kMissingInt = -9999;

// Room for the 20 characters of the most negative 64-bit value and a NUL.
using IntText = std::array<char, 21>;

IntText ToDecimal(std::int64_t value) {
  IntText text{};
  std::to_chars(text.data(), text.data() + text.size() - 1, value);
  return text;
}

}  // namespace

bool FileExists(const char* path) { return platform::FindFirst(path).has_value(); }

int StatusProfile::Open(const char* path) {
  platform::PathBuffer resolved{};
  if (!platform::ResolveAgainstCurrentDirectory(path, resolved) || !FileExists(resolved) ||
      !platform::ProfileFormatSupported(resolved)) {
    valid_ = 0;
    return 0;
  }
  std::memcpy(path_, resolved, sizeof path_);
  valid_ = 1;
  return 1;
}

int StatusProfile::ReadString(const char* section, const char* key, char* out) const {
  if (!valid_) return 0;
  platform::PathBuffer value{};
  platform::GetProfileString(section, key, kMissingString, value, sizeof value, path_);
  if (std::strcmp(value, kMissingString) == 0) return 0;
  std::memcpy(out, value, std::strlen(value) + 1);
  return 1;
}

int StatusProfile::ReadInt(const char* section, const char* key, std::int32_t& out) const {
  if (!valid_) return 0;
  out = platform::GetProfileInt(section, key, kMissingInt, path_);
  if (out != kMissingInt) return 1;
  out = 0;
  return 0;
}

int StatusProfile::WriteString(const char* section, const char* key, const char* value) const {
  if (!valid_) return 0;
  return platform::WriteProfileString(section, key, value, path_) ? 1 : 0;
}

int StatusProfile::WriteInt(const char* section, const char* key, std::int64_t value) const {
  return WriteString(section, key, ToDecimal(value).data());
}

int StatusProfile::WriteStrings(const char* section,
                                std::span<const platform::ProfileEntry> entries) const {
  if (!valid_) return 0;
  return platform::WriteProfileStrings(section, entries, path_) ? 1 : 0;
}

int StatusProfile::WriteInts(const char* section, std::span<const char* const> keys,
                             std::span<const std::int64_t> values) const {
  std::vector<IntText> texts;
  std::vector<platform::ProfileEntry> entries;
  texts.reserve(keys.size());
  entries.reserve(keys.size());
  for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i) {
    texts.push_back(ToDecimal(values[i]));
    entries.push_back({keys[i], texts.back().data()});
  }
  return WriteStrings(section, entries);
}

}  // namespace velto::status
