#include "platform/posix/zone_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

#include "datetime/tzif_builder.h"
#include "support/sandbox.h"

namespace velto::platform {
namespace {

using testing::MakeTzif;
using testing::Sandbox;
using testing::TzifShape;

ZoneTransition WeekdayRule(std::int32_t month, std::int32_t week, std::int32_t weekday,
                           std::int32_t hour, std::int32_t minute = 0, std::int32_t second = 0) {
  return {0, month, weekday, week, hour, minute, second, 0};
}

ZoneTransition FixedDate(std::int32_t month, std::int32_t day, std::int32_t hour) {
  return {1, month, 0, day, hour, 0, 0, 0};
}

void ExpectTransition(const ZoneTransition& actual, const ZoneTransition& expected) {
  EXPECT_EQ(actual.year, expected.year);
  EXPECT_EQ(actual.month, expected.month);
  EXPECT_EQ(actual.day_of_week, expected.day_of_week);
  EXPECT_EQ(actual.day, expected.day);
  EXPECT_EQ(actual.hour, expected.hour);
  EXPECT_EQ(actual.minute, expected.minute);
  EXPECT_EQ(actual.second, expected.second);
  EXPECT_EQ(actual.milliseconds, expected.milliseconds);
}

struct RuleCase {
  const char* rule;
  std::int32_t bias;
  std::int32_t daylight_bias;
  const char* standard_name;
  const char* daylight_name;
  ZoneTransition daylight_date;
  ZoneTransition standard_date;
};

void PrintTo(const RuleCase& c, std::ostream* out) { *out << c.rule; }

class ZoneRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ZoneRuleTest, DescribesTheZoneInSystemTerms) {
  const RuleCase& c = GetParam();
  const auto zone = ParseZoneRule(c.rule);
  ASSERT_TRUE(zone.has_value()) << c.rule;
  EXPECT_EQ(zone->bias, c.bias);
  EXPECT_EQ(zone->standard_bias, 0);
  EXPECT_EQ(zone->daylight_bias, c.daylight_bias);
  EXPECT_EQ(zone->standard_name, c.standard_name);
  EXPECT_EQ(zone->daylight_name, c.daylight_name);
  ExpectTransition(zone->daylight_date, c.daylight_date);
  ExpectTransition(zone->standard_date, c.standard_date);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ZoneRuleTest,
    ::testing::Values(
        RuleCase{"JST-9", -540, 0, "JST", "", {}, {}},
        RuleCase{"UTC0", 0, 0, "UTC", "", {}, {}},
        RuleCase{"<+0530>-5:30", -330, 0, "+0530", "", {}, {}},
        RuleCase{"<-03>3", 180, 0, "-03", "", {}, {}},
        RuleCase{"EST5EDT,M3.2.0,M11.1.0", 300, -60, "EST", "EDT", WeekdayRule(3, 2, 0, 2),
                 WeekdayRule(11, 1, 0, 2)},
        RuleCase{"GMT0BST,M3.5.0/1,M10.5.0", 0, -60, "GMT", "BST", WeekdayRule(3, 5, 0, 1),
                 WeekdayRule(10, 5, 0, 2)},
        // Daylight time in winter, one hour behind standard time.
        RuleCase{"IST-1GMT0,M10.5.0,M3.5.0/1", -60, 60, "IST", "GMT", WeekdayRule(10, 5, 0, 2),
                 WeekdayRule(3, 5, 0, 1)},
        RuleCase{"IST-2IDT,M3.4.4/26,M10.5.0", -120, -60, "IST", "IDT", WeekdayRule(3, 4, 4, 26),
                 WeekdayRule(10, 5, 0, 2)},
        RuleCase{"<-02>2<-01>,M3.5.0/-1,M10.5.0/0", 120, -60, "-02", "-01",
                 WeekdayRule(3, 5, 0, -1), WeekdayRule(10, 5, 0, 0)},
        RuleCase{"EST5EDT4,M3.2.0/2:30:15,M11.1.0/+1:05", 300, -60, "EST", "EDT",
                 WeekdayRule(3, 2, 0, 2, 30, 15), WeekdayRule(11, 1, 0, 1, 5)},
        RuleCase{"AAA3BBB1:30,M4.1.0,M9.5.6", 180, -90, "AAA", "BBB", WeekdayRule(4, 1, 0, 2),
                 WeekdayRule(9, 5, 6, 2)},
        // Without a rule the United States rule applies.
        RuleCase{"EST5EDT", 300, -60, "EST", "EDT", WeekdayRule(3, 2, 0, 2),
                 WeekdayRule(11, 1, 0, 2)},
        // Julian days never count 29 February; plain day numbers start at 0.
        RuleCase{"XXX3YYY,J60/2,J365/3", 180, -60, "XXX", "YYY", FixedDate(3, 1, 2),
                 FixedDate(12, 31, 3)},
        RuleCase{"XXX3YYY,0/0,365/25", 180, -60, "XXX", "YYY", FixedDate(1, 1, 0),
                 FixedDate(12, 31, 25)},
        RuleCase{"XXX3YYY,59,J1", 180, -60, "XXX", "YYY", FixedDate(3, 1, 2), FixedDate(1, 1, 2)}));

class InvalidZoneRuleTest : public ::testing::TestWithParam<const char*> {};

TEST_P(InvalidZoneRuleTest, IsRefused) { EXPECT_FALSE(ParseZoneRule(GetParam()).has_value()); }

INSTANTIATE_TEST_SUITE_P(Rules, InvalidZoneRuleTest,
                         ::testing::Values("", "JS-9", "JST", "JST-25", "J1T-9", "<AB>-9",
                                           "<+09-9", "EST5EDT,M13.1.0,M11.1.0",
                                           "EST5EDT,M3.6.0,M11.1.0", "EST5EDT,M3.2.7,M11.1.0",
                                           "EST5EDT,M3.2.0", "EST5EDT,M3.2.0,M11.1.0,",
                                           "EST5EDT,M3.2.0,M11.1.0x", "EST5EDT,J0,J365",
                                           "EST5EDT,366,1", "EST5EDT,M3.2.0/168,M11.1.0",
                                           "EST5EDT,M3.2.0/2:60,M11.1.0", "EST5EDT,",
                                           "EST5ED", "JST-9 "));

TEST(ZoneRuleTest, DropsNamesLongerThanTheSystemKeeps) {
  const std::string long_name(63, 'A');
  const auto dropped = ParseZoneRule("<" + long_name + ">-9");
  ASSERT_TRUE(dropped.has_value());
  EXPECT_EQ(dropped->standard_name, "");
  const auto kept = ParseZoneRule("<" + long_name.substr(1) + ">-9");
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(kept->standard_name, long_name.substr(1));
}

TEST(ZoneFileTest, ReadsTheFooterOfAVersion2File) {
  Sandbox sandbox;
  const auto zone = ReadZoneFile(sandbox.Write("zone", MakeTzif("EST5EDT,M3.2.0,M11.1.0")));
  ASSERT_TRUE(zone.has_value());
  EXPECT_EQ(zone->bias, 300);
  EXPECT_EQ(zone->daylight_bias, -60);
  EXPECT_EQ(zone->daylight_name, "EDT");
  ExpectTransition(zone->daylight_date, WeekdayRule(3, 2, 0, 2));
}

TEST(ZoneFileTest, SkipsDataBlocksOfAnySize) {
  Sandbox sandbox;
  for (const std::uint32_t transitions : {0u, 1u, 7u, 300u}) {
    for (const std::uint32_t leaps : {0u, 3u}) {
      TzifShape shape;
      shape.version = '3';
      shape.transitions = transitions;
      shape.leap_seconds = leaps;
      // A wrong block size would miss the second header or the footer.
      const auto zone = ReadZoneFile(sandbox.Write("zone", MakeTzif("<+0845>-8:45", shape)));
      ASSERT_TRUE(zone.has_value()) << transitions << " transitions, " << leaps << " leaps";
      EXPECT_EQ(zone->bias, -525);
      EXPECT_EQ(zone->standard_name, "+0845");
    }
  }
}

struct BrokenFile {
  const char* what;
  std::string bytes;
};

TEST(ZoneFileTest, RefusesFilesWithoutAUsableFooter) {
  Sandbox sandbox;
  TzifShape version1;
  version1.version = '\0';
  const std::string good = MakeTzif("JST-9");
  const BrokenFile cases[] = {
      {"empty file", ""},
      {"version 1 without footer", MakeTzif("", version1)},
      {"version 1 with a footer appended", MakeTzif("", version1) + "\nJST-9\n"},
      {"empty footer", MakeTzif("")},
      {"invalid footer", MakeTzif("not a rule")},
      {"footer without its closing newline", good.substr(0, good.size() - 1)},
      {"truncated inside the second block", good.substr(0, good.size() - 12)},
      {"truncated inside the first header", good.substr(0, 30)},
      {"wrong magic", "TZIF" + good.substr(4)},
      {"text file", "JST-9\n"},
  };
  for (const BrokenFile& c : cases) {
    EXPECT_FALSE(ReadZoneFile(sandbox.Write("zone", c.bytes)).has_value()) << c.what;
  }
}

TEST(ZoneFileTest, RefusesAMissingFileAndAFolder) {
  Sandbox sandbox;
  EXPECT_FALSE(ReadZoneFile(sandbox.Path("missing")).has_value());
  EXPECT_FALSE(ReadZoneFile(sandbox.root().string()).has_value());
}

TEST(ZoneFileTest, RefusesAFileTooLargeToBeAZoneFile) {
  Sandbox sandbox;
  std::string bytes = MakeTzif("JST-9");
  bytes.append(std::size_t{1} << 20, '\n');
  EXPECT_FALSE(ReadZoneFile(sandbox.Write("zone", bytes)).has_value());
}

struct RealZone {
  const char* name;
  std::int32_t bias;
  std::int32_t daylight_bias;
  const char* standard_name;
  const char* daylight_name;
  ZoneTransition daylight_date;
  ZoneTransition standard_date;
};

void PrintTo(const RealZone& zone, std::ostream* out) { *out << zone.name; }

class RealZoneFileTest : public ::testing::TestWithParam<RealZone> {};

TEST_P(RealZoneFileTest, ReadsTheMachinesZoneFile) {
  const RealZone& c = GetParam();
  const std::string path = std::string(kZoneInfoDirectory) + "/" + c.name;
  if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is not installed";
  const auto zone = ReadZoneFile(path);
  ASSERT_TRUE(zone.has_value()) << path;
  EXPECT_EQ(zone->bias, c.bias);
  EXPECT_EQ(zone->daylight_bias, c.daylight_bias);
  EXPECT_EQ(zone->standard_name, c.standard_name);
  EXPECT_EQ(zone->daylight_name, c.daylight_name);
  ExpectTransition(zone->daylight_date, c.daylight_date);
  ExpectTransition(zone->standard_date, c.standard_date);
}

INSTANTIATE_TEST_SUITE_P(
    Machine, RealZoneFileTest,
    ::testing::Values(RealZone{"Asia/Tokyo", -540, 0, "JST", "", {}, {}},
                      RealZone{"America/New_York", 300, -60, "EST", "EDT",
                               WeekdayRule(3, 2, 0, 2), WeekdayRule(11, 1, 0, 2)},
                      RealZone{"Europe/London", 0, -60, "GMT", "BST", WeekdayRule(3, 5, 0, 1),
                               WeekdayRule(10, 5, 0, 2)}),
    [](const ::testing::TestParamInfo<RealZone>& zone) {
      std::string name = zone.param.name;
      for (char& c : name) {
        if (c == '/') c = '_';
      }
      return name;
    });

TEST(ZoneNamedByTzTest, RulesNameNoZoneFile) {
  Sandbox sandbox;
  // Even with a zone file of that very name present, a rule stays a rule.
  sandbox.Write("PST8PDT", MakeTzif("PST8PDT,M3.2.0,M11.1.0"));
  for (const char* tz : {"PST8PDT", "JST-9", "UTC", "EST5EDT,M3.2.0,M11.1.0"}) {
    const NamedZone named = ZoneNamedByTz(tz, sandbox.root().string());
    EXPECT_FALSE(named.names_zone) << tz;
    EXPECT_FALSE(named.zone.has_value()) << tz;
  }
}

TEST(ZoneNamedByTzTest, ReadsNamedZoneFiles) {
  Sandbox sandbox;
  const std::string absolute = sandbox.Write("Asia/Somewhere", MakeTzif("<+0845>-8:45"));
  const std::string root = sandbox.root().string();
  for (const std::string& tz : {":" + absolute, absolute, std::string(":Asia/Somewhere"),
                                std::string("Asia/Somewhere")}) {
    const NamedZone named = ZoneNamedByTz(tz, root);
    EXPECT_TRUE(named.names_zone) << tz;
    ASSERT_TRUE(named.zone.has_value()) << tz;
    EXPECT_EQ(named.zone->bias, -525) << tz;
  }
}

TEST(ZoneNamedByTzTest, AnUnreadableNamedFileGivesNoZone) {
  Sandbox sandbox;
  sandbox.Write("Broken/Zone", "not a zone file");
  for (const char* tz : {":Nowhere/Zone", ":Broken/Zone", "Broken/Zone", ":", ":Broken",
                         "/no/such/zone"}) {
    const NamedZone named = ZoneNamedByTz(tz, sandbox.root().string());
    EXPECT_TRUE(named.names_zone) << tz;
    EXPECT_FALSE(named.zone.has_value()) << tz;
  }
}

}  // namespace
}  // namespace velto::platform
