#include "datetime/time_format.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace velto::datetime {
namespace {

// Friday 2007-11-30 12:54:04, day 333 of the year counted from 0.
BrokenDownTime ReferenceTime() {
  BrokenDownTime t;
  t.year = 107;
  t.month = 10;
  t.day = 30;
  t.hour = 12;
  t.minute = 54;
  t.second = 4;
  t.weekday = 5;
  t.year_day = 333;
  return t;
}

// Friday 2007-01-05 00:07:09: small numbers show the "#" flag at work.
BrokenDownTime EarlyTime() {
  BrokenDownTime t;
  t.year = 107;
  t.month = 0;
  t.day = 5;
  t.hour = 0;
  t.minute = 7;
  t.second = 9;
  t.weekday = 5;
  t.year_day = 4;
  return t;
}

struct FormatCase {
  BrokenDownTime (*time)();
  const char* format;
  const char* expected;
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.format; }

class FormatTimeTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTimeTest, LaysOutTheConversion) {
  const FormatCase& c = GetParam();
  EXPECT_EQ(FormatTime(c.format, c.time(), FromTzRule("JST-9")), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, FormatTimeTest,
    ::testing::Values(
        FormatCase{ReferenceTime, "%a", "Fri"}, FormatCase{ReferenceTime, "%A", "Friday"},
        FormatCase{ReferenceTime, "%b", "Nov"}, FormatCase{ReferenceTime, "%B", "November"},
        FormatCase{ReferenceTime, "%c", "11/30/07 12:54:04"},
        FormatCase{ReferenceTime, "%#c", "Friday, November 30, 2007 12:54:04"},
        FormatCase{ReferenceTime, "%d", "30"}, FormatCase{ReferenceTime, "%H", "12"},
        FormatCase{ReferenceTime, "%I", "12"}, FormatCase{ReferenceTime, "%j", "334"},
        FormatCase{ReferenceTime, "%m", "11"}, FormatCase{ReferenceTime, "%M", "54"},
        FormatCase{ReferenceTime, "%p", "PM"}, FormatCase{ReferenceTime, "%S", "04"},
        FormatCase{ReferenceTime, "%U", "47"}, FormatCase{ReferenceTime, "%w", "5"},
        FormatCase{ReferenceTime, "%W", "48"}, FormatCase{ReferenceTime, "%x", "11/30/07"},
        FormatCase{ReferenceTime, "%#x", "Friday, November 30, 2007"},
        FormatCase{ReferenceTime, "%X", "12:54:04"}, FormatCase{ReferenceTime, "%#X", "12:54:04"},
        FormatCase{ReferenceTime, "%y", "07"}, FormatCase{ReferenceTime, "%Y", "2007"},
        FormatCase{ReferenceTime, "%Z", "JST"}, FormatCase{ReferenceTime, "%z", "JST"},
        FormatCase{ReferenceTime, "%%", "%"}, FormatCase{ReferenceTime, "%#%", "%"},
        FormatCase{ReferenceTime, "%#a%#B%#p%#Z", "FriNovemberPMJST"},
        FormatCase{EarlyTime, "%d %#d", "05 5"}, FormatCase{EarlyTime, "%H %#H", "00 0"},
        FormatCase{EarlyTime, "%I %#I %p", "12 12 AM"}, FormatCase{EarlyTime, "%j %#j", "005 5"},
        FormatCase{EarlyTime, "%m %#m", "01 1"}, FormatCase{EarlyTime, "%M %#M", "07 7"},
        FormatCase{EarlyTime, "%S %#S", "09 9"}, FormatCase{EarlyTime, "%U %#U", "00 0"},
        FormatCase{EarlyTime, "%W %#W", "01 1"}, FormatCase{EarlyTime, "%w %#w", "5 5"},
        FormatCase{EarlyTime, "%y %#y", "07 7"}, FormatCase{EarlyTime, "%Y %#Y", "2007 2007"},
        // The day inside the long date keeps its two digits.
        FormatCase{EarlyTime, "%#x", "Friday, January 05, 2007"},
        FormatCase{EarlyTime, "%#c", "Friday, January 05, 2007 00:07:09"},
        // Unknown conversions drop out alone, with or without the flag.
        FormatCase{ReferenceTime, "<%Q%#Q%E%#%>", "<%>"},
        FormatCase{ReferenceTime, "%", ""}, FormatCase{ReferenceTime, "%#", ""},
        FormatCase{ReferenceTime, "abc%", "abc"},
        // Double-byte text passes through byte by byte.
        FormatCase{ReferenceTime, "\x93\xfa\x95\x74 %Y\x94\x4e", "\x93\xfa\x95\x74 2007\x94\x4e"}));

TEST(FormatTimeTest, HoursOnTheTwelveHourClock) {
  const TimeZoneSettings zone = FromTzRule("JST-9");
  const char* expected[24] = {"12AM", "01AM", "02AM", "03AM", "04AM", "05AM", "06AM", "07AM",
                              "08AM", "09AM", "10AM", "11AM", "12PM", "01PM", "02PM", "03PM",
                              "04PM", "05PM", "06PM", "07PM", "08PM", "09PM", "10PM", "11PM"};
  BrokenDownTime t = ReferenceTime();
  for (std::int32_t hour = 0; hour < 24; ++hour) {
    t.hour = hour;
    EXPECT_EQ(FormatTime("%I%p", t, zone), expected[hour]) << hour;
  }
}

TEST(FormatTimeTest, NamesOfEveryWeekdayAndMonth) {
  const TimeZoneSettings zone = FromTzRule("JST-9");
  BrokenDownTime t = ReferenceTime();
  std::string weekdays;
  for (t.weekday = 0; t.weekday < 7; ++t.weekday) weekdays += FormatTime("%a=%A ", t, zone);
  EXPECT_EQ(weekdays,
            "Sun=Sunday Mon=Monday Tue=Tuesday Wed=Wednesday Thu=Thursday Fri=Friday "
            "Sat=Saturday ");
  std::string months;
  for (t.month = 0; t.month < 12; ++t.month) months += FormatTime("%b=%B ", t, zone);
  EXPECT_EQ(months,
            "Jan=January Feb=February Mar=March Apr=April May=May Jun=June Jul=July "
            "Aug=August Sep=September Oct=October Nov=November Dec=December ");
}

TEST(FormatTimeTest, ZoneNameFollowsTheDaylightFlag) {
  const TimeZoneSettings pacific = FromTzRule("PST8PDT");
  BrokenDownTime t = ReferenceTime();
  EXPECT_EQ(FormatTime("%Z", t, pacific), "PST");
  t.daylight = 1;
  EXPECT_EQ(FormatTime("%Z", t, pacific), "PDT");
  TimeZoneSettings unnamed = pacific;
  unnamed.daylight_name.clear();
  EXPECT_EQ(FormatTime("[%Z]", t, unnamed), "[]");
}

TEST(FormatTimeTest, OutOfRangeFieldsGiveNoName) {
  BrokenDownTime t = ReferenceTime();
  t.weekday = 7;
  t.month = -1;
  EXPECT_EQ(FormatTime("[%a%A%b%B]", t, FromTzRule("JST-9")), "[]");
}

struct CutCase {
  const char* what;
  std::string format;
  std::string expected;
};

TEST(FormatTimeTest, LongExpansionsAreCutAt254Bytes) {
  const std::string a252(252, 'a');
  const std::string a253(253, 'a');
  const std::string a254(254, 'a');
  const CutCase cases[] = {
      {"plain text", std::string(300, 'x'), std::string(254, 'x')},
      {"exactly 254 bytes", a254, a254},
      {"conversions", [] {
         std::string f;
         for (int i = 0; i < 50; ++i) f += "%A";
         return f;
       }(),
       [] {
         std::string e;
         for (int i = 0; i < 50; ++i) e += "Friday";
         return e.substr(0, 254);
       }()},
      {"a conversion cut inside", a253 + "%Y", a253 + "2"},
      // A two-byte character on bytes 253 and 254 would lose its second byte.
      {"lead byte at byte 254", a253 + "\x82\xa0" + "b", a253},
      {"whole character at bytes 253 and 254", a252 + "\x82\xa0" + "b", a252 + "\x82\xa0"},
      // The 0x81 here is the second byte of a character, not a lead byte.
      {"trail byte in lead range at byte 254", a252 + "\x82\x81" + "x", a252 + "\x82\x81"},
      {"characters all the way", [] {
         std::string f;
         for (int i = 0; i < 200; ++i) f += "\x93\xfa";
         return f;
       }(),
       [] {
         std::string e;
         for (int i = 0; i < 127; ++i) e += "\x93\xfa";
         return e;
       }()},
      {"shifted by one byte", "a" + [] {
         std::string f;
         for (int i = 0; i < 200; ++i) f += "\x93\xfa";
         return f;
       }(),
       "a" + [] {
         std::string e;
         for (int i = 0; i < 126; ++i) e += "\x93\xfa";
         return e;
       }()},
  };
  const TimeZoneSettings zone = FromTzRule("JST-9");
  for (const CutCase& c : cases) {
    const std::string result = FormatTime(c.format, ReferenceTime(), zone);
    EXPECT_LE(result.size(), kMaxFormattedBytes) << c.what;
    EXPECT_EQ(result, c.expected) << c.what;
  }
}

TEST(FormatTimeTest, AHugeFormatStillGives254Bytes) {
  const std::string format(1 << 22, 'z');
  EXPECT_EQ(FormatTime(format, ReferenceTime(), FromTzRule("JST-9")), std::string(254, 'z'));
}

}  // namespace
}  // namespace velto::datetime
