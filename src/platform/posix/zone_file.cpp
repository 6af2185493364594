#include "platform/posix/zone_file.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace velto::platform {
namespace {

// Real zone files are a few kilobytes; anything far larger is not one, and
// the cap keeps a TZ naming a device or a huge file from costing much.
constexpr std::size_t kMaxZoneFileBytes = 1u << 20;

// Without a rule in the string, a zone with daylight time follows the
// United States rule, as the C library does.
constexpr std::string_view kDefaultDaylightRule = ",M3.2.0,M11.1.0";

constexpr std::int32_t kSecondsPerHour = 3600;
constexpr std::int32_t kDefaultTransitionSeconds = 2 * kSecondsPerHour;

// Days of the months of a year without 29 February; the Julian day forms
// of the rule string count days that way.
constexpr std::array<std::int32_t, 12> kMonthDays = {31, 28, 31, 30, 31, 30,
                                                     31, 31, 30, 31, 30, 31};

// Walks a rule string by the grammar of POSIX TZ, with the RFC 8536
// extensions (transition hours -167 to 167).
class RuleReader {
 public:
  explicit RuleReader(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ == text_.size(); }
  bool Take(char c) {
    if (!Peek(c)) return false;
    ++pos_;
    return true;
  }
  bool Peek(char c) const { return !AtEnd() && text_[pos_] == c; }
  bool PeekDigit() const { return !AtEnd() && IsDigit(text_[pos_]); }

  // Unquoted: three or more letters. Quoted: "<", three or more letters,
  // digits, "+" or "-", then ">" (the brackets are not part of the name).
  std::optional<std::string> Name() {
    if (Take('<')) {
      const std::size_t start = pos_;
      while (!AtEnd() && IsQuotedNameByte(text_[pos_])) ++pos_;
      const std::size_t length = pos_ - start;
      if (length < 3 || !Take('>')) return std::nullopt;
      return std::string(text_.substr(start, length));
    }
    const std::size_t start = pos_;
    while (!AtEnd() && IsLetter(text_[pos_])) ++pos_;
    if (pos_ - start < 3) return std::nullopt;
    return std::string(text_.substr(start, pos_ - start));
  }

  // Decimal digits forming a number from min to max.
  std::optional<std::int32_t> Number(std::int32_t min, std::int32_t max) {
    if (!PeekDigit()) return std::nullopt;
    std::int32_t value = 0;
    while (PeekDigit()) {
      value = value * 10 + (text_[pos_++] - '0');
      if (value > max) return std::nullopt;
    }
    if (value < min) return std::nullopt;
    return value;
  }

  // [+-]hh[:mm[:ss]] in seconds; hours at most max_hours.
  std::optional<std::int32_t> SignedTime(std::int32_t max_hours) {
    std::int32_t sign = 1;
    if (Take('-')) {
      sign = -1;
    } else {
      Take('+');
    }
    const auto hours = Number(0, max_hours);
    if (!hours) return std::nullopt;
    std::int32_t seconds = *hours * kSecondsPerHour;
    if (Take(':')) {
      const auto minutes = Number(0, 59);
      if (!minutes) return std::nullopt;
      seconds += *minutes * 60;
      if (Take(':')) {
        const auto secs = Number(0, 59);
        if (!secs) return std::nullopt;
        seconds += *secs;
      }
    }
    return sign * seconds;
  }

  // One transition: "Jn", "n" or "Mm.w.d", then an optional "/time".
  std::optional<ZoneTransition> Transition() {
    std::optional<ZoneTransition> date;
    if (Take('J')) {
      date = JulianDate(1, 365, 0);
    } else if (Take('M')) {
      date = WeekdayDate();
    } else {
      date = JulianDate(0, 365, 1);
    }
    if (!date) return std::nullopt;
    std::int32_t seconds = kDefaultTransitionSeconds;
    if (Take('/')) {
      const auto time = SignedTime(167);
      if (!time) return std::nullopt;
      seconds = *time;
    }
    date->hour = seconds / kSecondsPerHour;
    date->minute = seconds / 60 % 60;
    date->second = seconds % 60;
    return date;
  }

 private:
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  static bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
  static bool IsQuotedNameByte(char c) { return IsLetter(c) || IsDigit(c) || c == '+' || c == '-'; }

  // "Jn" (1 to 365, 29 February never counted) and "n" (0 to 365, counted)
  // both become a fixed month and day. For "n" the day is placed as in a
  // year without 29 February (n = 365 exists only in leap years and is
  // 31 December); the system shape of a transition has no day-of-year form.
  std::optional<ZoneTransition> JulianDate(std::int32_t min, std::int32_t max,
                                           std::int32_t zero_based) {
    const auto number = Number(min, max);
    if (!number) return std::nullopt;
    std::int32_t day = *number + zero_based;
    if (day > 365) day = 365;
    ZoneTransition date;
    date.year = 1;  // any year but 0: the same month and day every year
    date.month = 1;
    for (const std::int32_t days : kMonthDays) {
      if (day <= days) break;
      day -= days;
      ++date.month;
    }
    date.day = day;
    return date;
  }

  // "Mm.w.d": the w-th (5 = last) weekday d of month m.
  std::optional<ZoneTransition> WeekdayDate() {
    ZoneTransition date;
    const auto month = Number(1, 12);
    if (!month || !Take('.')) return std::nullopt;
    const auto week = Number(1, 5);
    if (!week || !Take('.')) return std::nullopt;
    const auto weekday = Number(0, 6);
    if (!weekday) return std::nullopt;
    date.month = *month;
    date.day = *week;
    date.day_of_week = *weekday;
    return date;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// The system shape keeps names of at most kMaxSystemZoneNameBytes bytes; a
// longer one is dropped rather than cut into a wrong name.
std::string FittingName(std::string name) {
  return name.size() <= kMaxSystemZoneNameBytes ? name : std::string();
}

std::uint64_t ReadBigEndian32(std::string_view bytes, std::size_t offset) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  }
  return value;
}

constexpr std::size_t kHeaderBytes = 44;
constexpr std::size_t kCountsOffset = 20;

struct TzifCounts {
  std::uint64_t isut, isstd, leap, time, type, chars;
};

// The header at offset, when it is one; its version byte goes to *version.
std::optional<TzifCounts> ReadHeader(std::string_view file, std::uint64_t offset, char* version) {
  if (offset > file.size() || file.size() - offset < kHeaderBytes) return std::nullopt;
  const auto start = static_cast<std::size_t>(offset);
  if (file.substr(start, 4) != "TZif") return std::nullopt;
  *version = file[start + 4];
  const std::size_t counts = start + kCountsOffset;
  return TzifCounts{ReadBigEndian32(file, counts),      ReadBigEndian32(file, counts + 4),
                    ReadBigEndian32(file, counts + 8),  ReadBigEndian32(file, counts + 12),
                    ReadBigEndian32(file, counts + 16), ReadBigEndian32(file, counts + 20)};
}

// Bytes of a data block whose transition times take time_bytes each. The
// counts are below 2^32, so the sum cannot overflow 64 bits.
std::uint64_t DataBlockBytes(const TzifCounts& c, std::uint64_t time_bytes) {
  return c.time * (time_bytes + 1) + c.type * 6 + c.chars + c.leap * (time_bytes + 4) +
         c.isstd + c.isut;
}

// The footer text of a TZif file of version 2 or later.
std::optional<std::string_view> Footer(std::string_view file) {
  char version = 0;
  const auto first = ReadHeader(file, 0, &version);
  if (!first || version < '2') return std::nullopt;
  const std::uint64_t second_offset = kHeaderBytes + DataBlockBytes(*first, 4);
  const auto second = ReadHeader(file, second_offset, &version);
  if (!second) return std::nullopt;
  const std::uint64_t footer_offset = second_offset + kHeaderBytes + DataBlockBytes(*second, 8);
  if (footer_offset >= file.size() || file[static_cast<std::size_t>(footer_offset)] != '\n') {
    return std::nullopt;
  }
  const std::string_view rest = file.substr(static_cast<std::size_t>(footer_offset) + 1);
  const std::size_t end = rest.find('\n');
  if (end == std::string_view::npos) return std::nullopt;
  return rest.substr(0, end);
}

std::optional<std::string> ReadSmallRegularFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes(kMaxZoneFileBytes + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  const auto got = static_cast<std::size_t>(in.gcount());
  if (in.bad() || got > kMaxZoneFileBytes) return std::nullopt;
  bytes.resize(got);
  return bytes;
}

}  // namespace

std::optional<SystemTimeZone> ParseZoneRule(std::string_view rule) {
  RuleReader reader(rule);
  const auto standard_name = reader.Name();
  if (!standard_name) return std::nullopt;
  const auto standard_offset = reader.SignedTime(24);
  if (!standard_offset) return std::nullopt;

  SystemTimeZone zone;
  zone.bias = *standard_offset / 60;
  zone.standard_name = FittingName(*standard_name);
  if (reader.AtEnd()) return zone;  // no daylight time: no transitions

  const auto daylight_name = reader.Name();
  if (!daylight_name) return std::nullopt;
  std::int32_t daylight_offset = *standard_offset - kSecondsPerHour;
  if (!reader.AtEnd() && !reader.Peek(',')) {
    const auto offset = reader.SignedTime(24);
    if (!offset) return std::nullopt;
    daylight_offset = *offset;
  }
  RuleReader default_rule(kDefaultDaylightRule);
  RuleReader& dates = reader.AtEnd() ? default_rule : reader;
  if (!dates.Take(',')) return std::nullopt;
  const auto start = dates.Transition();
  if (!start || !dates.Take(',')) return std::nullopt;
  const auto end = dates.Transition();
  if (!end || !dates.AtEnd()) return std::nullopt;

  zone.daylight_bias = (daylight_offset - *standard_offset) / 60;
  zone.daylight_name = FittingName(*daylight_name);
  zone.daylight_date = *start;
  zone.standard_date = *end;
  return zone;
}

std::optional<SystemTimeZone> ReadZoneFile(const std::string& path) {
  const auto bytes = ReadSmallRegularFile(path);
  if (!bytes) return std::nullopt;
  const auto footer = Footer(*bytes);
  if (!footer) return std::nullopt;
  return ParseZoneRule(*footer);
}

NamedZone ZoneNamedByTz(std::string_view tz, std::string_view zoneinfo_directory) {
  const bool colon = !tz.empty() && tz.front() == ':';
  if (!colon && tz.find('/') == std::string_view::npos) return {};
  const std::string_view name = colon ? tz.substr(1) : tz;
  std::string path;
  if (name.empty() || name.front() != '/') {
    path.append(zoneinfo_directory).append("/");
  }
  path.append(name);
  return {true, ReadZoneFile(path)};
}

}  // namespace velto::platform
