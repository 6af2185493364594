// The conversions every build must get right, under TZ=JST-9 and
// TZ=PST8PDT. The same tables are run on the conversion functions directly
// and through the exports in a process started with that TZ.
#pragma once

#include <string>
#include <vector>

namespace velto::testing {

struct ConversionCase {
  // With a format, input is epoch seconds laid out as local time; without
  // one, input is a compact date-time converted to epoch seconds.
  const char* input;
  const char* format;
  const char* expected;
};

inline std::string Describe(const ConversionCase& c) {
  std::string text = c.format != nullptr ? "epoch \"" : "date-time \"";
  text += c.input != nullptr ? c.input : "(null pointer)";
  text += "\"";
  if (c.format != nullptr) text += std::string(" format \"") + c.format + "\"";
  return text;
}

inline const std::vector<ConversionCase>& JapanCases() {
  static const std::vector<ConversionCase> cases = {
      {"20071130125404", nullptr, "1196394844"},
      {"1196394844", "%Y%m%d%H%M%S", "20071130125404"},
      {"1196394844", "%Y/%m/%d %H:%M:%S", "2007/11/30 12:54:04"},
      {"1196394844", "%c", "11/30/07 12:54:04"},
      {"1196394844", "%#c", "Friday, November 30, 2007 12:54:04"},
      {"1196394844", "%a %b %#d %Z", "Fri Nov 30 JST"},
      {"1196394844", "%j %U %W %w %I%p", "334 47 48 5 12PM"},
      {"0", "%Y-%m-%d %H:%M:%S", "1970-01-01 09:00:00"},
      {"2147483647", "%Y-%m-%d %H:%M:%S", "2038-01-19 12:14:07"},
      {" +42abc", "%Y-%m-%d %H:%M:%S", "1970-01-01 09:00:42"},
      {"abc", "%Y-%m-%d %H:%M:%S", "1970-01-01 09:00:00"},
      {"4294967296", "%Y-%m-%d %H:%M:%S", "1970-01-01 09:00:00"},
      {"", "%Y-%m-%d %H:%M:%S", "1970-01-01 09:00:00"},
      {"19700101090000", nullptr, "0"},
      {"19700101085959", nullptr, "-1"},
      {"20380119031407", nullptr, "2147451247"},
      {"20380119031408", nullptr, "-1"},
      {"20070231000000", nullptr, "1172847600"},
      {"20071300000000", nullptr, "1199026800"},
      {"20071130", nullptr, "1196348400"},
      {"2007/11/30 12:54:04", nullptr, "1165006862"},
      {"", nullptr, "-1"},
      {nullptr, nullptr, "-1"},
      {"1196394844", "no conversion here", "no conversion here"},
      {"1196394844", "", ""},
      {"1196394844", "%Q", ""},
      {"1196394844", "a%Qb%#Qc", "abc"},
      // Negative values, also wrapped ones, have no local time.
      {"-1", "%Y", ""},
      {"2147483648", "%Y", ""},
      // A format ending inside a conversion ends there.
      {"1196394844", "%Y%", "2007"},
      {"1196394844", "%Y%#", "2007"},
      // Month 00 carries back into December of the year before.
      {"20070001000000", nullptr, "1164898800"},
      // Hours past 23 move on by days.
      {"20071130990000", nullptr, "1196704800"},
      // The year is tested before the month carry as well as after it.
      {"19681300000000", nullptr, "-1"},
      {"20391300000000", nullptr, "-1"},
      {"20400101000000", nullptr, "-1"},
      {"19691231160000", nullptr, "-1"},
      // Bytes after the seconds are ignored.
      {"20071130125404999999999999999999999999999999999999999999999999", nullptr, "1196394844"},
  };
  return cases;
}

inline const std::vector<ConversionCase>& PacificCases() {
  static const std::vector<ConversionCase> cases = {
      {"20070701120000", nullptr, "1183320000"},
      {"1183320000", "%Y%m%d%H%M%S %Z", "20070701130000 PDT"},
      {"1175421599", "%Y-%m-%d %H:%M:%S %Z", "2007-04-01 01:59:59 PST"},
      {"1175421600", "%Y-%m-%d %H:%M:%S %Z", "2007-04-01 03:00:00 PDT"},
      {"1193561999", "%Y-%m-%d %H:%M:%S %Z", "2007-10-28 01:59:59 PDT"},
      {"1193562000", "%Y-%m-%d %H:%M:%S %Z", "2007-10-28 01:00:00 PST"},
      // The fixed rule, not today's United States rule: 20 March is standard time.
      {"1174392000", "%H:%M %Z", "04:00 PST"},
      {"0", "%Y-%m-%d %H:%M:%S %Z", "1969-12-31 16:00:00 PST"},
      {"2147483647", "%Y-%m-%d %H:%M:%S %Z", "2038-01-18 19:14:07 PST"},
      // West of UTC the last hours of 1969 still have epoch values.
      {"19691231160000", nullptr, "0"},
      {"19691231155959", nullptr, "-1"},
      {"197001010000-1", nullptr, "28799"},
  };
  return cases;
}

}  // namespace velto::testing
