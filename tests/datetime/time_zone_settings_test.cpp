#include "datetime/time_zone_settings.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace velto::datetime {
namespace {

using platform::NamedZone;
using platform::SystemTimeZone;
using platform::ZoneTransition;

void ExpectSameSettings(const TimeZoneSettings& actual, const TimeZoneSettings& expected) {
  EXPECT_EQ(actual.offset_west, expected.offset_west);
  EXPECT_EQ(actual.daylight_on, expected.daylight_on);
  EXPECT_EQ(actual.daylight_shift, expected.daylight_shift);
  EXPECT_EQ(actual.standard_name, expected.standard_name);
  EXPECT_EQ(actual.daylight_name, expected.daylight_name);
  EXPECT_EQ(actual.rule, expected.rule);
}

struct TzRuleCase {
  const char* tz;
  std::int32_t offset_west;
  bool daylight_on;
  const char* standard_name;
  const char* daylight_name;
};

void PrintTo(const TzRuleCase& c, std::ostream* out) { *out << c.tz; }

class TzRuleTest : public ::testing::TestWithParam<TzRuleCase> {};

TEST_P(TzRuleTest, ReadsNameOffsetAndDaylightName) {
  const TzRuleCase& c = GetParam();
  const TimeZoneSettings settings = FromTzRule(c.tz);
  EXPECT_EQ(settings.offset_west, c.offset_west);
  EXPECT_EQ(settings.daylight_on, c.daylight_on);
  EXPECT_EQ(settings.standard_name, c.standard_name);
  EXPECT_EQ(settings.daylight_name, c.daylight_name);
  EXPECT_EQ(settings.daylight_shift, -3600);
  EXPECT_EQ(settings.rule, DaylightRule::kFixed);
}

INSTANTIATE_TEST_SUITE_P(
    Values, TzRuleTest,
    ::testing::Values(
        TzRuleCase{"JST-9", -32400, false, "JST", ""},
        TzRuleCase{"PST8PDT", 28800, true, "PST", "PDT"},
        TzRuleCase{"UTC", 0, false, "UTC", ""},
        TzRuleCase{"UTC0", 0, false, "UTC", ""},
        TzRuleCase{"IST-5:30", -19800, false, "IST", ""},
        TzRuleCase{"XXX-5:30:15", -19815, false, "XXX", ""},
        TzRuleCase{"NST3:30NDT", 12600, true, "NST", "NDT"},
        // A "+" before the hours is read and skipped.
        TzRuleCase{"ABC+3DEF", 10800, true, "ABC", "DEF"},
        // Only the first three bytes after the numbers name daylight time;
        // a POSIX rule after them is not read.
        TzRuleCase{"EST5EDT,M3.2.0,M11.1.0", 18000, true, "EST", "EDT"},
        TzRuleCase{"ABC1DEFGHI", 3600, true, "ABC", "DEF"},
        TzRuleCase{"ABC1D", 3600, true, "ABC", "D"},
        // Hours wrap in 32 bits like every number read.
        TzRuleCase{"ABC4294967296", 0, false, "ABC", ""},
        TzRuleCase{"ABC596524", -2147480896, false, "ABC", ""},
        TzRuleCase{"ABC-596524", 2147480896, false, "ABC", ""},
        TzRuleCase{"ABC:30", 1800, false, "ABC", ""},
        // A trailing byte, even a space, turns daylight time on.
        TzRuleCase{"JST-9 ", -32400, true, "JST", " "},
        TzRuleCase{"JST--9", 32400, true, "JST", "-9"},
        TzRuleCase{"ABC", 0, false, "ABC", ""}));

// Sources that say what a test wants: named_by_tz answers for one value,
// system returns a fixed zone (or none).
ZoneSources FakeSources(std::optional<SystemTimeZone> system,
                        std::string named_tz = std::string(),
                        std::optional<SystemTimeZone> named_zone = std::nullopt) {
  return {[named_tz, named_zone](std::string_view tz) {
            return tz == named_tz ? NamedZone{true, named_zone} : NamedZone{};
          },
          [system] { return system; }};
}

SystemTimeZone NewYork() {
  SystemTimeZone zone;
  zone.bias = 300;
  zone.daylight_bias = -60;
  zone.standard_name = "EST";
  zone.daylight_name = "EDT";
  zone.daylight_date = ZoneTransition{0, 3, 0, 2, 2, 0, 0, 0};
  zone.standard_date = ZoneTransition{0, 11, 0, 1, 2, 0, 0, 0};
  return zone;
}

SystemTimeZone Tokyo() {
  SystemTimeZone zone;
  zone.bias = -540;
  zone.standard_name = "JST";
  return zone;
}

TEST(FromSystemTimeZoneTest, ZoneWithDaylightTime) {
  const TimeZoneSettings settings = FromSystemTimeZone(NewYork());
  EXPECT_EQ(settings.offset_west, 18000);
  EXPECT_TRUE(settings.daylight_on);
  EXPECT_EQ(settings.daylight_shift, -3600);
  EXPECT_EQ(settings.standard_name, "EST");
  EXPECT_EQ(settings.daylight_name, "EDT");
  EXPECT_EQ(settings.rule, DaylightRule::kSystem);
  EXPECT_EQ(settings.daylight_start.month, 3);
  EXPECT_EQ(settings.daylight_end.month, 11);
}

TEST(FromSystemTimeZoneTest, ZoneWithoutDaylightTime) {
  const TimeZoneSettings settings = FromSystemTimeZone(Tokyo());
  EXPECT_EQ(settings.offset_west, -32400);
  EXPECT_FALSE(settings.daylight_on);
  EXPECT_EQ(settings.daylight_shift, 0);
  EXPECT_EQ(settings.standard_name, "JST");
}

TEST(FromSystemTimeZoneTest, StandardBiasCountsOnlyWithAStandardTransition) {
  SystemTimeZone zone = NewYork();
  zone.standard_bias = 10;
  const TimeZoneSettings with_transition = FromSystemTimeZone(zone);
  EXPECT_EQ(with_transition.offset_west, 18600);
  EXPECT_EQ(with_transition.daylight_shift, -4200);

  zone.standard_date.month = 0;
  EXPECT_EQ(FromSystemTimeZone(zone).offset_west, 18000);
}

TEST(FromSystemTimeZoneTest, DaylightNeedsAMonthAndABias) {
  SystemTimeZone zone = NewYork();
  zone.daylight_bias = 0;
  EXPECT_FALSE(FromSystemTimeZone(zone).daylight_on);
  EXPECT_EQ(FromSystemTimeZone(zone).daylight_shift, 0);
  zone = NewYork();
  zone.daylight_date.month = 0;
  EXPECT_FALSE(FromSystemTimeZone(zone).daylight_on);
}

TEST(FromSystemTimeZoneTest, NamesLongerThan62BytesBecomeEmpty) {
  SystemTimeZone zone = NewYork();
  zone.standard_name = std::string(62, 'S');
  zone.daylight_name = std::string(63, 'D');
  const TimeZoneSettings settings = FromSystemTimeZone(zone);
  EXPECT_EQ(settings.standard_name, std::string(62, 'S'));
  EXPECT_EQ(settings.daylight_name, "");
}

TEST(FromTzValueTest, WithoutTzAndSystemZoneTheDefaultsEqualPacificTime) {
  const TimeZoneSettings settings = FromTzValue(std::nullopt, FakeSources(std::nullopt));
  ExpectSameSettings(settings, FromTzRule("PST8PDT"));
  EXPECT_EQ(settings.offset_west, 28800);
  EXPECT_EQ(settings.standard_name, "PST");
  EXPECT_EQ(settings.daylight_name, "PDT");
}

TEST(FromTzValueTest, ARuleWinsOverTheSystemZone) {
  ExpectSameSettings(FromTzValue("JST-9", FakeSources(NewYork())), FromTzRule("JST-9"));
}

TEST(FromTzValueTest, AbsentEmptyOrTooShortTzLeavesItToTheSystemZone) {
  const TimeZoneSettings expected = FromSystemTimeZone(Tokyo());
  for (const std::optional<std::string_view> tz :
       {std::optional<std::string_view>(), std::optional<std::string_view>(""),
        std::optional<std::string_view>("J"), std::optional<std::string_view>("J9")}) {
    ExpectSameSettings(FromTzValue(tz, FakeSources(Tokyo())), expected);
  }
}

TEST(FromTzValueTest, ANamedZoneIsUsed) {
  ExpectSameSettings(FromTzValue(":Asia/Tokyo", FakeSources(NewYork(), ":Asia/Tokyo", Tokyo())),
                     FromSystemTimeZone(Tokyo()));
}

TEST(FromTzValueTest, AnUnreadableNamedZoneCountsAsAbsentTz) {
  ExpectSameSettings(FromTzValue(":Asia/Nowhere", FakeSources(NewYork(), ":Asia/Nowhere")),
                     FromSystemTimeZone(NewYork()));
  ExpectSameSettings(FromTzValue(":Asia/Nowhere", FakeSources(std::nullopt, ":Asia/Nowhere")),
                     TimeZoneSettings{});
}

TEST(FromTzValueTest, AVeryLongValueIsReadAsARule) {
  const std::string tz = "JST-9" + std::string(10000, 'x');
  const TimeZoneSettings settings = FromTzValue(tz, FakeSources(std::nullopt));
  EXPECT_EQ(settings.offset_west, -32400);
  EXPECT_TRUE(settings.daylight_on);
  EXPECT_EQ(settings.daylight_name, "xxx");
}


}  // namespace
}  // namespace velto::datetime
