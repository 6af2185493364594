// Compares the conversions with the C library's own under the same zone:
// localtime_r for epoch to local time, timegm for local time to epoch.

#include <gtest/gtest.h>

#include <time.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>
#include <sstream>
#include <ostream>
#include <string>
#include <vector>

#include "datetime/local_time.h"
#include "datetime/time_zone_settings.h"
#include "platform/posix/zone_file.h"

namespace velto::datetime {
namespace {

constexpr std::int64_t kLastEpoch = std::numeric_limits<std::int32_t>::max();

struct ReferenceZone {
  const char* name;
  // The rule the C library is given.
  const char* libc_tz;
  // Our settings: a TZ rule read by FromTzRule, or else libc_tz read as the
  // system's zone.
  const char* tz_rule;
};

void PrintTo(const ReferenceZone& zone, std::ostream* out) { *out << zone.libc_tz; }

TimeZoneSettings SettingsOf(const ReferenceZone& zone) {
  if (zone.tz_rule != nullptr) return FromTzRule(zone.tz_rule);
  const auto system = platform::ParseZoneRule(zone.libc_tz);
  EXPECT_TRUE(system.has_value()) << zone.libc_tz;
  return system ? FromSystemTimeZone(*system) : TimeZoneSettings{};
}

// The C library follows TZ from the environment; the test sets it for its
// own duration only.
class LibcReferenceTest : public ::testing::TestWithParam<ReferenceZone> {
 protected:
  void SetUp() override {
    if (const char* previous = std::getenv("TZ")) previous_tz_ = previous;
    setenv("TZ", GetParam().libc_tz, 1);
    tzset();
    settings_ = SettingsOf(GetParam());
  }
  void TearDown() override {
    if (previous_tz_) {
      setenv("TZ", previous_tz_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

  static bool LibcDaylight(std::int64_t epoch) {
    const time_t t = epoch;
    struct tm reference {};
    localtime_r(&t, &reference);
    return reference.tm_isdst > 0;
  }

  // Empty when both agree, else what differs.
  std::string Difference(std::int64_t epoch) const {
    const time_t t = epoch;
    struct tm expected {};
    localtime_r(&t, &expected);
    const auto actual = LocalTimeOf(static_cast<std::int32_t>(epoch), settings_);
    if (!actual) return "no local time for " + std::to_string(epoch);
    const std::int32_t fields[][2] = {
        {actual->year, expected.tm_year},       {actual->month, expected.tm_mon},
        {actual->day, expected.tm_mday},        {actual->hour, expected.tm_hour},
        {actual->minute, expected.tm_min},      {actual->second, expected.tm_sec},
        {actual->weekday, expected.tm_wday},    {actual->year_day, expected.tm_yday},
        {actual->daylight, expected.tm_isdst > 0 ? 1 : 0}};
    for (const auto& field : fields) {
      if (field[0] != field[1]) {
        std::ostringstream out;
        out << "epoch " << epoch << ": got " << actual->year + 1900 << "-" << actual->month + 1
            << "-" << actual->day << " " << actual->hour << ":" << actual->minute << ":"
            << actual->second << " wday " << actual->weekday << " yday " << actual->year_day
            << " dst " << actual->daylight << "; libc " << expected.tm_year + 1900 << "-"
            << expected.tm_mon + 1 << "-" << expected.tm_mday << " " << expected.tm_hour << ":"
            << expected.tm_min << ":" << expected.tm_sec << " wday " << expected.tm_wday
            << " yday " << expected.tm_yday << " dst " << expected.tm_isdst;
        return out.str();
      }
    }
    return {};
  }

  void ExpectAgreement(const std::vector<std::int64_t>& epochs) const {
    std::size_t mismatches = 0;
    std::string first;
    for (const std::int64_t epoch : epochs) {
      const std::string difference = Difference(epoch);
      if (difference.empty()) continue;
      if (mismatches++ == 0) first = difference;
    }
    EXPECT_EQ(mismatches, 0u) << GetParam().libc_tz << ", first: " << first;
  }

  TimeZoneSettings settings_;

 private:
  std::optional<std::string> previous_tz_;
};

TEST_P(LibcReferenceTest, RandomEpochsGiveTheSameLocalTime) {
  std::mt19937 random(20071130);
  std::uniform_int_distribution<std::int64_t> any_epoch(0, kLastEpoch);
  std::vector<std::int64_t> epochs = {0, 1, kLastEpoch - 1, kLastEpoch};
  for (int i = 0; i < 20000; ++i) epochs.push_back(any_epoch(random));
  ExpectAgreement(epochs);
}

TEST_P(LibcReferenceTest, EveryTransitionAndTheSecondsAroundIt) {
  // No daylight period lasts less than half a day, so a scan in half-day
  // steps finds every change of the C library's daylight flag; the exact
  // second is then found by bisection.
  constexpr std::int64_t kStep = 12 * 3600;
  std::vector<std::int64_t> epochs;
  bool daylight = LibcDaylight(0);
  for (std::int64_t t = kStep; t <= kLastEpoch; t += kStep) {
    if (LibcDaylight(t) == daylight) continue;
    std::int64_t before = t - kStep;  // last known second with the old flag
    std::int64_t after = t;           // first known second with the new flag
    while (after - before > 1) {
      const std::int64_t middle = before + (after - before) / 2;
      (LibcDaylight(middle) == daylight ? before : after) = middle;
    }
    for (std::int64_t around = after - 3601; around <= after + 3601; around += 1800) {
      epochs.push_back(around);
    }
    for (std::int64_t around = after - 2; around <= after + 1; ++around) epochs.push_back(around);
    daylight = !daylight;
  }
  if (settings_.daylight_on) {
    EXPECT_GT(epochs.size(), 100u) << "no transitions found for " << GetParam().libc_tz;
  }
  ExpectAgreement(epochs);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, LibcReferenceTest,
    ::testing::Values(
        ReferenceZone{"FixedPacific", "PST8PDT,M4.1.0/2,M10.5.0/2", "PST8PDT"},
        ReferenceZone{"Japan", "JST-9", "JST-9"},
        ReferenceZone{"Utc", "UTC0", "UTC0"},
        ReferenceZone{"India", "IST-5:30", "IST-5:30"},
        ReferenceZone{"NewYork", "EST5EDT,M3.2.0,M11.1.0", nullptr},
        ReferenceZone{"London", "GMT0BST,M3.5.0/1,M10.5.0", nullptr},
        ReferenceZone{"Sydney", "AEST-10AEDT,M10.1.0,M4.1.0/3", nullptr},
        ReferenceZone{"Auckland", "NZST-12NZDT,M9.5.0,M4.1.0/3", nullptr},
        ReferenceZone{"Dublin", "IST-1GMT0,M10.5.0,M3.5.0/1", nullptr},
        ReferenceZone{"Jerusalem", "IST-2IDT,M3.4.4/26,M10.5.0", nullptr},
        ReferenceZone{"Nuuk", "<-02>2<-01>,M3.5.0/-1,M10.5.0/0", nullptr},
        ReferenceZone{"Kathmandu", "<+0545>-5:45", nullptr},
        ReferenceZone{"JulianDays", "XXX3YYY,J60/2,J300/3", nullptr},
        ReferenceZone{"HalfHourShift", "LHST-10:30LHDT-11,M10.1.0,M4.1.0", nullptr}),
    [](const ::testing::TestParamInfo<ReferenceZone>& zone) { return zone.param.name; });

// Local to epoch: the date-time counted as UTC by timegm, plus the offset.
// Fields stay non-negative apart from the month, so every step of the
// 32-bit count lies between 0 and its end result and the overflow test
// reduces to the end result's range.
std::int32_t ExpectedEpoch(const BrokenDownTime& local, std::int32_t offset_west) {
  const auto year_ok = [](std::int64_t year) { return year >= 69 && year <= 139; };
  std::int64_t year = local.year;
  std::int64_t month = local.month;
  if (!year_ok(year)) return -1;
  const std::int64_t carry = month >= 0 ? month / 12 : -((11 - month) / 12);
  year += carry;
  month -= carry * 12;
  if (!year_ok(year)) return -1;
  struct tm fields {};
  fields.tm_year = static_cast<int>(year);
  fields.tm_mon = static_cast<int>(month);
  fields.tm_mday = local.day;
  fields.tm_hour = local.hour;
  fields.tm_min = local.minute;
  fields.tm_sec = local.second;
  const std::int64_t as_utc = timegm(&fields);
  if (as_utc > kLastEpoch) return -1;
  const std::int64_t sum = as_utc + offset_west;
  return sum < 0 || sum > kLastEpoch ? -1 : static_cast<std::int32_t>(sum);
}

TEST(LibcEpochReferenceTest, RandomDateTimesGiveTimegmPlusTheOffset) {
  std::mt19937 random(19700101);
  std::uniform_int_distribution<std::int32_t> year(1966, 2042);
  std::uniform_int_distribution<std::int32_t> month(-10, 98);
  std::uniform_int_distribution<std::int32_t> small_month(0, 11);
  std::uniform_int_distribution<std::int32_t> two_digits(0, 99);
  std::uniform_int_distribution<std::int32_t> day(1, 28);
  std::uniform_int_distribution<std::int32_t> hour(0, 23);
  std::uniform_int_distribution<std::int32_t> sixty(0, 59);
  const TimeZoneSettings zones[] = {FromTzRule("JST-9"), FromTzRule("PST8PDT"),
                                    FromTzRule("UTC"), FromTzRule("IST-5:30")};
  std::size_t with_value = 0;
  for (int i = 0; i < 40000; ++i) {
    BrokenDownTime local;
    local.year = year(random) - 1900;
    // Half the cases keep every field in range, half use whole two-digit fields.
    const bool in_range = i % 2 == 0;
    local.month = in_range ? small_month(random) : month(random);
    local.day = in_range ? day(random) : two_digits(random);
    local.hour = in_range ? hour(random) : two_digits(random);
    local.minute = in_range ? sixty(random) : two_digits(random);
    local.second = in_range ? sixty(random) : two_digits(random);
    for (const TimeZoneSettings& zone : zones) {
      const std::int32_t expected = ExpectedEpoch(local, zone.offset_west);
      if (expected >= 0) ++with_value;
      ASSERT_EQ(EpochOf(local, zone), expected)
          << local.year + 1900 << " month " << local.month << " day " << local.day << " "
          << local.hour << ":" << local.minute << ":" << local.second << " offset "
          << zone.offset_west;
    }
  }
  // The sample must reach both outcomes to mean anything.
  EXPECT_GT(with_value, 40000u);
  EXPECT_LT(with_value, 160000u);
}

}  // namespace
}  // namespace velto::datetime
