#include "datetime/local_time.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "datetime/conversions.h"
#include "datetime/edge_cases.h"
#include "datetime/time_format.h"
#include "platform/posix/zone_file.h"

namespace velto::datetime {
namespace {

using testing::ConversionCase;

std::string Convert(const ConversionCase& c, const TimeZoneSettings& zone) {
  if (c.format != nullptr) return EpochTextToLocal(c.input, c.format, zone);
  return std::to_string(CompactDateTimeToEpoch(c.input, zone));
}

TEST(ConversionTest, JapanStandardTime) {
  const TimeZoneSettings zone = FromTzRule("JST-9");
  for (const ConversionCase& c : testing::JapanCases()) {
    EXPECT_EQ(Convert(c, zone), c.expected) << testing::Describe(c);
  }
}

TEST(ConversionTest, PacificTimeUnderTheFixedRule) {
  const TimeZoneSettings zone = FromTzRule("PST8PDT");
  for (const ConversionCase& c : testing::PacificCases()) {
    EXPECT_EQ(Convert(c, zone), c.expected) << testing::Describe(c);
  }
}

TEST(ConversionTest, LocalToEpochIgnoresDaylightTime) {
  // Both directions differ by the daylight shift inside the daylight period.
  const TimeZoneSettings zone = FromTzRule("PST8PDT");
  EXPECT_EQ(CompactDateTimeToEpoch("20070701130000", zone), 1183323600);
  EXPECT_EQ(EpochTextToLocal("1183323600", "%H:%M %Z", zone), "14:00 PDT");
}

TimeZoneSettings SystemRule(const char* rule) {
  const auto zone = platform::ParseZoneRule(rule);
  EXPECT_TRUE(zone.has_value()) << rule;
  return zone ? FromSystemTimeZone(*zone) : TimeZoneSettings{};
}

struct RuleCase {
  const char* rule;
  const char* epoch;
  const char* expected;
};

TEST(SystemRuleTest, TransitionsOfRulesAcrossTheNewYearAndOutsideTheDay) {
  const RuleCase cases[] = {
      // Southern hemisphere: daylight time from October to April.
      {"AEST-10AEDT,M10.1.0,M4.1.0/3", "1207411199", "2008-04-06 02:59:59 AEDT"},
      {"AEST-10AEDT,M10.1.0,M4.1.0/3", "1207411200", "2008-04-06 02:00:00 AEST"},
      {"AEST-10AEDT,M10.1.0,M4.1.0/3", "1223135999", "2008-10-05 01:59:59 AEST"},
      {"AEST-10AEDT,M10.1.0,M4.1.0/3", "1223136000", "2008-10-05 03:00:00 AEDT"},
      {"AEST-10AEDT,M10.1.0,M4.1.0/3", "1199145600", "2008-01-01 11:00:00 AEDT"},
      // Start at -1:00: Saturday 23:00 before the last Sunday of March 2008.
      {"<-02>2<-01>,M3.5.0/-1,M10.5.0/0", "1206838799", "2008-03-29 22:59:59 -02"},
      {"<-02>2<-01>,M3.5.0/-1,M10.5.0/0", "1206838800", "2008-03-30 00:00:00 -01"},
      // 26:00 on the fourth Thursday is Friday 02:00.
      {"IST-2IDT,M3.4.4/26,M10.5.0", "1206662399", "2008-03-28 01:59:59 IST"},
      {"IST-2IDT,M3.4.4/26,M10.5.0", "1206662400", "2008-03-28 03:00:00 IDT"},
      // Daylight time one hour behind, in winter.
      {"IST-1GMT0,M10.5.0,M3.5.0/1", "1199145600", "2008-01-01 00:00:00 GMT"},
      {"IST-1GMT0,M10.5.0,M3.5.0/1", "1214870400", "2008-07-01 01:00:00 IST"},
  };
  for (const RuleCase& c : cases) {
    EXPECT_EQ(EpochTextToLocal(c.epoch, "%Y-%m-%d %H:%M:%S %Z", SystemRule(c.rule)), c.expected)
        << c.rule << " at " << c.epoch;
  }
}

TEST(LocalTimeTest, ExtremeOffsetsStayInsideTheCalendar) {
  TimeZoneSettings zone = FromTzRule("JST-9");
  zone.offset_west = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(EpochTextToLocal("2147483647", "%Y-%m-%d %H:%M:%S", zone), "2106-02-07 06:28:15");
  zone.offset_west = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(EpochTextToLocal("0", "%Y-%m-%d %H:%M:%S", zone), "1901-12-13 20:45:53");
}

TEST(LocalTimeTest, FirstAndLastValueOfTheRange) {
  const TimeZoneSettings utc = FromTzRule("UTC");
  const auto first = LocalTimeOf(0, utc);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->year, 70);
  EXPECT_EQ(first->weekday, 4);
  EXPECT_EQ(first->year_day, 0);
  const auto last = LocalTimeOf(std::numeric_limits<std::int32_t>::max(), utc);
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->year, 138);
  EXPECT_EQ(last->month, 0);
  EXPECT_EQ(last->day, 19);
  EXPECT_EQ(last->weekday, 2);
  EXPECT_EQ(last->year_day, 18);
  EXPECT_FALSE(LocalTimeOf(-1, utc).has_value());
  EXPECT_FALSE(LocalTimeOf(std::numeric_limits<std::int32_t>::min(), utc).has_value());
}

TEST(ReadCompactDateTimeTest, ReadsFieldsAtFixedPositions) {
  const BrokenDownTime time = ReadCompactDateTime("2007/11/30 12:54:04");
  EXPECT_EQ(time.year, 107);
  EXPECT_EQ(time.month, -1);
  EXPECT_EQ(time.day, 1);
  EXPECT_EQ(time.hour, 30);
  EXPECT_EQ(time.minute, 1);
  EXPECT_EQ(time.second, 2);
  EXPECT_EQ(time.weekday, 0);
  EXPECT_EQ(time.year_day, 0);
  EXPECT_EQ(time.daylight, 0);
}

TEST(ReadCompactDateTimeTest, FieldsCutShortByTheEndOfTheText) {
  const BrokenDownTime time = ReadCompactDateTime("200711301");
  EXPECT_EQ(time.day, 30);
  EXPECT_EQ(time.hour, 1);
  EXPECT_EQ(time.minute, 0);
  const BrokenDownTime null_text = ReadCompactDateTime(nullptr);
  EXPECT_EQ(null_text.year, -1900);  // "(null)" holds no digit
}

TEST(ReadCompactDateTimeTest, ReadsNoMoreThan49Bytes) {
  // No terminating zero: a read past the 49 bytes would leave the buffer
  // (and trip the address sanitizer).
  std::vector<char> text(kMaxCompactDateTimeBytes, '7');
  const std::string digits = "20071130125404";
  std::copy(digits.begin(), digits.end(), text.begin());
  const BrokenDownTime time = ReadCompactDateTime(text.data());
  EXPECT_EQ(time.year, 107);
  EXPECT_EQ(time.second, 4);
}

TEST(EpochOfTest, FieldsFarOutsideTheirRangesGiveNoValue) {
  const TimeZoneSettings utc = FromTzRule("UTC");
  BrokenDownTime time;
  time.year = 107;
  time.day = 1;
  for (const std::int32_t value : {std::numeric_limits<std::int32_t>::max(),
                                   std::numeric_limits<std::int32_t>::min()}) {
    BrokenDownTime t = time;
    t.day = value;
    EXPECT_EQ(EpochOf(t, utc), -1);
    t = time;
    t.hour = value;
    EXPECT_EQ(EpochOf(t, utc), -1);
    t = time;
    t.second = value;
    EXPECT_EQ(EpochOf(t, utc), -1);
    t = time;
    t.month = value;
    EXPECT_EQ(EpochOf(t, utc), -1);
    t = time;
    t.year = value;
    EXPECT_EQ(EpochOf(t, utc), -1);
  }
}

TEST(EpochOfTest, TheOffsetSumWrapsInto32Bits) {
  TimeZoneSettings zone = FromTzRule("UTC");
  zone.offset_west = std::numeric_limits<std::int32_t>::max();
  // 1 + 2147483647 wraps to a negative sum: no epoch value.
  EXPECT_EQ(CompactDateTimeToEpoch("19700101000001", zone), -1);
  // -1 + 2147483647 stays in range.
  EXPECT_EQ(CompactDateTimeToEpoch("197001010000-1", zone), 2147483646);
}

}  // namespace
}  // namespace velto::datetime
