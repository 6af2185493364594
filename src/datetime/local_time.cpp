#include "datetime/local_time.h"

#include <array>
#include <limits>
#include <string_view>
#include <utility>

#include "datetime/decimal.h"

namespace velto::datetime {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kMillisecondsPerDay = kSecondsPerDay * 1000;

constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

constexpr std::int64_t FloorMod(std::int64_t a, std::int64_t b) { return a - FloorDiv(a, b) * b; }

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar; the
// day of month may lie outside its month and counts on from the month's
// first day.
constexpr std::int64_t DaysFromCivil(std::int64_t year, std::int64_t month, std::int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = FloorDiv(year, 400);
  const std::int64_t year_of_era = year - era * 400;
  const std::int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const std::int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

struct CivilDate {
  std::int64_t year;
  std::int64_t month;  // 1 to 12
  std::int64_t day;
};

constexpr CivilDate CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = FloorDiv(days, 146097);
  const std::int64_t day_of_era = days - era * 146097;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t shifted_month = (5 * day_of_year + 2) / 153;
  const std::int64_t day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
  const std::int64_t month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  return {year_of_era + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// 1970-01-01 was a Thursday.
constexpr std::int64_t WeekdayOfDays(std::int64_t days) { return FloorMod(days + 4, 7); }

// Every value passed here comes from an epoch value and a 32-bit offset, so
// the year stays within a few centuries of 1970 and each field fits 32 bits.
BrokenDownTime BreakDown(std::int64_t seconds) {
  const std::int64_t days = FloorDiv(seconds, kSecondsPerDay);
  const std::int64_t second_of_day = seconds - days * kSecondsPerDay;
  const CivilDate date = CivilFromDays(days);
  BrokenDownTime time;
  time.year = static_cast<std::int32_t>(date.year - 1900);
  time.month = static_cast<std::int32_t>(date.month - 1);
  time.day = static_cast<std::int32_t>(date.day);
  time.hour = static_cast<std::int32_t>(second_of_day / 3600);
  time.minute = static_cast<std::int32_t>(second_of_day / 60 % 60);
  time.second = static_cast<std::int32_t>(second_of_day % 60);
  time.weekday = static_cast<std::int32_t>(WeekdayOfDays(days));
  time.year_day = static_cast<std::int32_t>(days - DaysFromCivil(date.year, 1, 1));
  return time;
}

// A point of the daylight period: day of year (may fall before or after
// the year when a transition time leaves its day) and millisecond of day.
struct DayAndTime {
  std::int64_t day;
  std::int64_t millisecond;
};

struct DaylightPeriod {
  DayAndTime start;
  DayAndTime end;
};

// The week-th (5 = last) weekday of a month, as day of month.
std::int64_t WeekdayInMonth(std::int64_t year, std::int64_t month, std::int64_t weekday,
                            std::int64_t week) {
  const std::int64_t first = DaysFromCivil(year, month, 1);
  const std::int64_t days_in_month = DaysFromCivil(year, month + 1, 1) - first;
  const std::int64_t clamped_week = week < 1 ? 1 : (week > 5 ? 5 : week);
  std::int64_t day = 1 + FloorMod(weekday - WeekdayOfDays(first), 7) + 7 * (clamped_week - 1);
  while (day > days_in_month) day -= 7;
  return day;
}

// Where a transition falls in a year, moved later by shift_ms and carried
// into the neighbouring day when its time leaves the day. nullopt when the
// transition names no month.
std::optional<DayAndTime> TransitionIn(std::int64_t year, const platform::ZoneTransition& t,
                                       std::int64_t shift_ms) {
  if (t.month < 1 || t.month > 12) return std::nullopt;
  const std::int64_t day_of_month =
      t.year == 0 ? WeekdayInMonth(year, t.month, t.day_of_week, t.day) : t.day;
  const std::int64_t day_of_year =
      DaysFromCivil(year, t.month, day_of_month) - DaysFromCivil(year, 1, 1);
  const std::int64_t millisecond =
      ((std::int64_t{t.hour} * 60 + t.minute) * 60 + t.second) * 1000 + t.milliseconds + shift_ms;
  return DayAndTime{day_of_year + FloorDiv(millisecond, kMillisecondsPerDay),
                    FloorMod(millisecond, kMillisecondsPerDay)};
}

// The fixed rule in the system's shape: first Sunday of April 02:00 and
// last Sunday of October 02:00.
constexpr platform::ZoneTransition kFixedStart{0, 4, 0, 1, 2, 0, 0, 0};
constexpr platform::ZoneTransition kFixedEnd{0, 10, 0, 5, 2, 0, 0, 0};

// Both ends in standard local time: the end transition is given in daylight
// time, so the daylight shift takes it back to standard time.
std::optional<DaylightPeriod> DaylightPeriodOf(std::int64_t year, const TimeZoneSettings& zone) {
  const bool fixed = zone.rule == DaylightRule::kFixed;
  const std::int64_t shift_ms = std::int64_t{zone.daylight_shift} * 1000;
  const auto start = TransitionIn(year, fixed ? kFixedStart : zone.daylight_start, 0);
  const auto end = TransitionIn(year, fixed ? kFixedEnd : zone.daylight_end, shift_ms);
  if (!start || !end) return std::nullopt;
  return DaylightPeriod{*start, *end};
}

bool Fits32(std::int64_t value) {
  return value >= std::numeric_limits<std::int32_t>::min() &&
         value <= std::numeric_limits<std::int32_t>::max();
}

constexpr std::int32_t kFirstYear = 69;   // 1969, counted from 1900
constexpr std::int32_t kLastYear = 139;   // 2039

bool YearHasEpoch(std::int64_t year) { return year >= kFirstYear && year <= kLastYear; }

// Days from 1970-01-01 to the first of a month, every fourth year a leap
// year (true for all years the conversion accepts).
std::int64_t DaysToMonth(std::int64_t full_year, std::int64_t month) {
  static constexpr std::array<std::int64_t, 12> kDaysBefore = {0,   31,  59,  90,  120, 151,
                                                               181, 212, 243, 273, 304, 334};
  const std::int64_t leap_days = FloorDiv(full_year - 1, 4) - FloorDiv(1969, 4);
  const bool leap = full_year % 4 == 0;
  return (full_year - 1970) * 365 + leap_days + kDaysBefore[static_cast<std::size_t>(month)] +
         (leap && month > 1 ? 1 : 0);
}

// ((days x 24 + hour) x 60 + minute) x 60 + second, where the count is
// defined in 32 bits: any step leaving that range means no epoch value.
std::optional<std::int32_t> CountSeconds(std::int64_t days_to_month, const BrokenDownTime& t) {
  const std::array<std::pair<std::int64_t, std::int64_t>, 4> steps = {
      {{1, std::int64_t{t.day} - 1}, {24, t.hour}, {60, t.minute}, {60, t.second}}};
  std::int64_t count = days_to_month;
  for (const auto& [factor, addend] : steps) {
    count *= factor;
    if (!Fits32(count)) return std::nullopt;
    count += addend;
    if (!Fits32(count)) return std::nullopt;
  }
  return static_cast<std::int32_t>(count);
}

}  // namespace

bool InDaylightPeriod(const BrokenDownTime& standard, const TimeZoneSettings& zone) {
  const auto period = DaylightPeriodOf(std::int64_t{standard.year} + 1900, zone);
  if (!period) return false;
  const DayAndTime& start = period->start;
  const DayAndTime& end = period->end;
  const std::int64_t day = standard.year_day;
  const std::int64_t millisecond =
      ((std::int64_t{standard.hour} * 60 + standard.minute) * 60 + standard.second) * 1000;
  if (start.day < end.day) {
    if (day > start.day && day < end.day) return true;
  } else {
    // The period runs across the new year.
    if (day < end.day || day > start.day) return true;
  }
  if (day == start.day) return millisecond >= start.millisecond;
  if (day == end.day) return millisecond < end.millisecond;
  return false;
}

std::optional<BrokenDownTime> LocalTimeOf(std::int32_t epoch, const TimeZoneSettings& zone) {
  if (epoch < 0) return std::nullopt;
  const std::int64_t standard = std::int64_t{epoch} - zone.offset_west;
  BrokenDownTime time = BreakDown(standard);
  if (zone.daylight_on && InDaylightPeriod(time, zone)) {
    time = BreakDown(standard - zone.daylight_shift);
    time.daylight = 1;
  }
  return time;
}

BrokenDownTime ReadCompactDateTime(const char* text) {
  // A private, zero-filled copy: bytes after the end of the text read as
  // empty fields, and a text longer than the copy is cut.
  std::array<char, kMaxCompactDateTimeBytes + 1> copy{};
  const char* source = text != nullptr ? text : "(null)";
  for (std::size_t i = 0; i < kMaxCompactDateTimeBytes && source[i] != '\0'; ++i) {
    copy[i] = source[i];
  }
  const std::string_view bytes(copy.data());
  const auto field = [&bytes](std::size_t position, std::size_t length) {
    return position < bytes.size() ? ReadDecimal(bytes.substr(position, length)) : 0;
  };
  BrokenDownTime time;
  time.year = field(0, 4) - 1900;
  time.month = field(4, 2) - 1;
  time.day = field(6, 2);
  time.hour = field(8, 2);
  time.minute = field(10, 2);
  time.second = field(12, 2);
  return time;
}

std::int32_t EpochOf(const BrokenDownTime& local, const TimeZoneSettings& zone) {
  std::int64_t year = local.year;
  std::int64_t month = local.month;
  if (!YearHasEpoch(year)) return -1;
  // A month outside the year carries whole years into the year.
  year += FloorDiv(month, 12);
  month = FloorMod(month, 12);
  if (!YearHasEpoch(year)) return -1;

  const auto seconds = CountSeconds(DaysToMonth(year + 1900, month), local);
  if (!seconds) return -1;
  // The local date-time was counted as if it were UTC; the offset takes it
  // to UTC. The sum wraps in 32 bits like the count it extends.
  const std::int32_t epoch = WrappingAdd(*seconds, zone.offset_west);
  return epoch < 0 ? -1 : epoch;
}

}  // namespace velto::datetime
