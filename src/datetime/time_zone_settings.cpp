#include "datetime/time_zone_settings.h"

#include <algorithm>

#include "datetime/decimal.h"

namespace velto::datetime {
namespace {

constexpr std::size_t kRuleNameBytes = 3;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Moves pos past every byte that keep accepts.
template <typename Predicate>
void SkipWhile(std::string_view text, std::size_t& pos, Predicate keep) {
  while (pos < text.size() && keep(text[pos])) ++pos;
}

// The number at pos by the decimal reading rule; pos itself is moved by the
// caller's own skip rule, which need not match what was read.
std::int32_t NumberAt(std::string_view text, std::size_t pos) {
  return ReadDecimal(text.substr(pos));
}

// System names get room for 62 bytes and a terminating zero; a longer one
// is dropped, not cut into a wrong name.
std::string FittingName(const std::string& name) {
  return name.size() < kMaxZoneNameBytes ? name : std::string();
}

}  // namespace

TimeZoneSettings FromTzRule(std::string_view tz) {
  TimeZoneSettings settings;
  settings.standard_name = std::string(tz.substr(0, kRuleNameBytes));
  std::size_t pos = std::min(tz.size(), kRuleNameBytes);

  const bool east = pos < tz.size() && tz[pos] == '-';
  if (east) ++pos;
  std::int32_t offset = WrappingMultiply(NumberAt(tz, pos), 3600);
  SkipWhile(tz, pos, [](char c) { return c == '+' || IsDigit(c); });
  if (pos < tz.size() && tz[pos] == ':') {
    ++pos;
    offset = WrappingAdd(offset, WrappingMultiply(NumberAt(tz, pos), 60));
    SkipWhile(tz, pos, IsDigit);
    if (pos < tz.size() && tz[pos] == ':') {
      ++pos;
      offset = WrappingAdd(offset, NumberAt(tz, pos));
      SkipWhile(tz, pos, IsDigit);
    }
  }
  settings.offset_west = east ? WrappingNegate(offset) : offset;

  settings.daylight_on = pos < tz.size();
  settings.daylight_name = std::string(tz.substr(pos, kRuleNameBytes));
  settings.daylight_shift = -3600;
  settings.rule = DaylightRule::kFixed;
  return settings;
}

TimeZoneSettings FromSystemTimeZone(const platform::SystemTimeZone& zone) {
  TimeZoneSettings settings;
  const bool has_standard_date = zone.standard_date.month != 0;
  settings.offset_west = WrappingMultiply(zone.bias, 60);
  if (has_standard_date) {
    settings.offset_west =
        WrappingAdd(settings.offset_west, WrappingMultiply(zone.standard_bias, 60));
  }
  settings.daylight_on = zone.daylight_date.month != 0 && zone.daylight_bias != 0;
  const std::int32_t bias_difference =
      WrappingAdd(zone.daylight_bias, WrappingNegate(zone.standard_bias));
  settings.daylight_shift = settings.daylight_on ? WrappingMultiply(bias_difference, 60) : 0;
  settings.standard_name = FittingName(zone.standard_name);
  settings.daylight_name = FittingName(zone.daylight_name);
  settings.rule = DaylightRule::kSystem;
  settings.daylight_start = zone.daylight_date;
  settings.daylight_end = zone.standard_date;
  return settings;
}

TimeZoneSettings FromTzValue(std::optional<std::string_view> tz, const ZoneSources& sources) {
  if (tz && !tz->empty()) {
    const platform::NamedZone named = sources.named_by_tz(*tz);
    if (named.names_zone) {
      if (named.zone) return FromSystemTimeZone(*named.zone);
    } else if (tz->size() >= kRuleNameBytes) {
      return FromTzRule(*tz);
    }
  }
  if (const auto system = sources.system()) return FromSystemTimeZone(*system);
  return TimeZoneSettings{};
}

ZoneSources PlatformZoneSources() {
  return {[](std::string_view tz) { return platform::ZoneNamedByTz(tz); },
          [] { return platform::ReadSystemTimeZone(); }};
}

const TimeZoneSettings& ProcessTimeZoneSettings() {
  // A function-local static is initialised exactly once, with concurrent
  // first callers waiting for the one that runs the set-up.
  static const TimeZoneSettings settings =
      FromTzValue(platform::TzAtLoad(), PlatformZoneSources());
  return settings;
}

}  // namespace velto::datetime
