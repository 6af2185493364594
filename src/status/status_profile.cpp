#include "status/status_profile.h"

#include <array>
#include <charconv>
#include <cstring>
#include <vector>

#include "platform/find.h"
#include "status/status_keys.h"

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

bool StatusProfile::Open(const char* path) {
  platform::PathBuffer resolved{};
  read_failed_ = false;
  valid_ = platform::ResolveAgainstCurrentDirectory(path, resolved) && FileExists(resolved) &&
           platform::ProfileFormatSupported(resolved);
  if (valid_) std::memcpy(path_, resolved, sizeof path_);
  return valid_;
}

bool StatusProfile::ReadString(const char* key, char* out) const {
  if (!valid_) return false;
  platform::PathBuffer value{};
  platform::ReadProfileValue(path_, kSection, key, kMissingString, value, sizeof value,
                             &read_failed_);
  if (std::strcmp(value, kMissingString) == 0) return false;
  std::memcpy(out, value, std::strlen(value) + 1);
  return true;
}

bool StatusProfile::ReadInt(const char* key, std::int32_t& out) const {
  if (!valid_) return false;
  out = platform::ReadProfileInt(path_, kSection, key, kMissingInt, &read_failed_);
  if (out != kMissingInt) return true;
  out = 0;
  return false;
}

bool StatusProfile::WriteInt(const char* key, std::int64_t value) const {
  const IntText text = ToDecimal(value);
  const platform::ProfileEntry entry{key, text.data()};
  return WriteStrings({&entry, 1});
}

bool StatusProfile::WriteStrings(std::span<const platform::ProfileEntry> entries) const {
  return valid_ && platform::UpdateProfileValues(path_, kSection, entries);
}

bool StatusProfile::WriteInts(std::span<const char* const> keys,
                              std::span<const std::int64_t> values) const {
  std::vector<IntText> texts;
  std::vector<platform::ProfileEntry> entries;
  texts.reserve(keys.size());
  entries.reserve(keys.size());
  for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i) {
    texts.push_back(ToDecimal(values[i]));
    entries.push_back({keys[i], texts.back().data()});
  }
  return WriteStrings(entries);
}

}  // namespace velto::status
