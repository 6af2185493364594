// The first-match directory search, the local calendar time of a file time,
// and the input file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "platform/find.h"
#include "platform/input_file.h"
#include "support/long_path.h"
#include "support/sandbox.h"
#include "support/scoped_time_zone.h"

namespace velto::testing {
namespace {

void SetModified(const std::string& path, std::int64_t seconds, long nanoseconds = 0) {
  const struct timespec times[2] = {{static_cast<time_t>(seconds), nanoseconds},
                                    {static_cast<time_t>(seconds), nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::string FoundName(const std::string& path) {
  const auto entry = platform::FindFirst(path.c_str());
  return entry ? std::string(entry->name) : std::string("<none>");
}

TEST(FindFirst, ReportsAFileByItsNameSizeAndTime) {
  Sandbox box;
  const std::string path = box.Write("docs/a.txt", std::string(1234, 'x'));
  SetModified(path, 1173085441, 500000000);
  const auto entry = platform::FindFirst(path.c_str());
  ASSERT_TRUE(entry.has_value());
  EXPECT_STREQ(entry->name, "a.txt");
  EXPECT_EQ(entry->size, 1234u);
  EXPECT_FALSE(entry->is_directory);
  EXPECT_EQ(entry->last_write.seconds, 1173085441);
  EXPECT_EQ(entry->last_write.nanoseconds, 500000000);
}

TEST(FindFirst, ReportsADirectoryWithSizeZero) {
  Sandbox box;
  box.Write("docs/a.txt", "x");
  const auto entry = platform::FindFirst(box.Path("docs").c_str());
  ASSERT_TRUE(entry.has_value());
  EXPECT_STREQ(entry->name, "docs");
  EXPECT_EQ(entry->size, 0u);
  EXPECT_TRUE(entry->is_directory);
}

TEST(FindFirst, FollowsSymbolicLinks) {
  Sandbox box;
  box.Write("a.txt", "12345");
  ASSERT_EQ(symlink("a.txt", box.Path("link.txt").c_str()), 0);
  ASSERT_EQ(symlink("missing", box.Path("dangling").c_str()), 0);
  const auto entry = platform::FindFirst(box.Path("link.txt").c_str());
  ASSERT_TRUE(entry.has_value());
  EXPECT_STREQ(entry->name, "link.txt");
  EXPECT_EQ(entry->size, 5u);
  EXPECT_FALSE(platform::FindFirst(box.Path("dangling").c_str()).has_value());
}

TEST(FindFirst, FifosAreNoEntries) {
  Sandbox box;
  ASSERT_EQ(mkfifo(box.Path("pipe").c_str(), 0600), 0);
  EXPECT_FALSE(platform::FindFirst(box.Path("pipe").c_str()).has_value());
  EXPECT_EQ(FoundName(box.Path("p*")), "<none>");
  box.Write("pz.txt", "");
  EXPECT_EQ(FoundName(box.Path("p*")), "pz.txt");
}

TEST(FindFirst, NothingForMissingEmptyOrNullPaths) {
  Sandbox box;
  EXPECT_FALSE(platform::FindFirst(box.Path("missing").c_str()).has_value());
  EXPECT_FALSE(platform::FindFirst("").has_value());
  EXPECT_FALSE(platform::FindFirst(nullptr).has_value());
  // The last component names the entry; a path ending in a separator has none.
  EXPECT_FALSE(platform::FindFirst((box.root().string() + "/").c_str()).has_value());
}

TEST(FindFirst, PathsLongerThan259BytesAreNotFound) {
  Sandbox box;
  const std::string fits = PathOfLength(box, 259);
  const std::string too_long = PathOfLength(box, 260);
  box.Write(fits.substr(box.root().string().size() + 1), "x");
  box.Write(too_long.substr(box.root().string().size() + 1), "x");
  EXPECT_TRUE(platform::FindFirst(fits.c_str()).has_value());
  EXPECT_FALSE(platform::FindFirst(too_long.c_str()).has_value());
}

// One folder, many patterns: the first match in byte order.
struct PatternCase {
  const char* pattern;
  const char* first;
};

void PrintTo(const PatternCase& c, std::ostream* out) { *out << c.pattern; }

class FindPattern : public ::testing::TestWithParam<PatternCase> {
 protected:
  static void SetUpTestSuite() {
    box_ = new Sandbox;
    for (const char* name : {"b.txt", "a.txt", "B.txt", "ab.txt", "abc.txt", "a.log", ".hidden",
                             "x*y", "a.b.c"}) {
      box_->Write(std::string("folder/") + name, "");
    }
    std::filesystem::create_directory(box_->Path("folder/sub"));
  }
  static void TearDownTestSuite() {
    delete box_;
    box_ = nullptr;
  }
  static Sandbox* box_;
};

Sandbox* FindPattern::box_ = nullptr;

TEST_P(FindPattern, TakesTheFirstMatchInByteOrder) {
  EXPECT_EQ(FoundName(box_->Path(std::string("folder/") + GetParam().pattern)), GetParam().first)
      << GetParam().pattern;
}

const PatternCase kPatternCases[] = {
    {"*", ".hidden"},       // '*' matches a leading dot too
    {"*.txt", "B.txt"},     // upper case sorts before lower case
    {"a*.txt", "a.txt"},    // '*' matches an empty run
    {"a?.txt", "ab.txt"},   // '?' is exactly one byte
    {"a??.txt", "abc.txt"},
    {"?.txt", "B.txt"},
    {"A*", "<none>"},        // case-sensitive
    {"*.TXT", "<none>"},
    {"a*c", "a.b.c"},
    {"*.*.*", "a.b.c"},
    {"x*", "x*y"},
    {"*y", "x*y"},
    {"s?b", "sub"},          // directories match as entries
    {"[ab].txt", "<none>"},  // brackets are no class
    {"*.log", "a.log"},
    {"**.log", "a.log"},
    {"*b*", "a.b.c"},
    {"q*", "<none>"},
};

INSTANTIATE_TEST_SUITE_P(Wildcards, FindPattern, ::testing::ValuesIn(kPatternCases));

TEST(FindFirst, DotAndDotDotNeverMatch) {
  Sandbox box;
  std::filesystem::create_directory(box.Path("empty"));
  EXPECT_EQ(FoundName(box.Path("empty/*")), "<none>");
  EXPECT_EQ(FoundName(box.Path("empty/.?")), "<none>");
  EXPECT_EQ(FoundName(box.Path("empty/.*")), "<none>");
}

TEST(FindFirst, RelativePatternSearchesTheCurrentDirectory) {
  Sandbox box;
  box.Write("b.ini", "");
  box.Write("a.ini", "");
  const ScopedCurrentDirectory cwd(box.root());
  EXPECT_EQ(FoundName("*.ini"), "a.ini");
  EXPECT_EQ(FoundName("b.ini"), "b.ini");
}

TEST(FindFirst, WildcardsOutsideTheLastComponentMatchNothing) {
  Sandbox box;
  box.Write("dir/a.txt", "");
  EXPECT_EQ(FoundName(box.Path("d*/a.txt")), "<none>");
}

struct CalendarCase {
  const char* zone;
  std::int64_t seconds;
  platform::CalendarTime expected;
};

TEST(FileTimeToLocalCalendar, FollowsTheTimeZoneOfTheProcess) {
  const CalendarCase cases[] = {
      {"UTC", 946684798, {1999, 12, 31, 23, 59, 58, 0}},
      {"JST-9", 946684798, {2000, 1, 1, 8, 59, 58, 0}},
      {"EST5", 1173085441, {2007, 3, 5, 4, 4, 1, 0}},
      // Summer and winter under one rule: the offset of that date applies.
      {"CET-1CEST,M3.5.0,M10.5.0/3", 1625140800, {2021, 7, 1, 14, 0, 0, 0}},
      {"CET-1CEST,M3.5.0,M10.5.0/3", 1609502400, {2021, 1, 1, 13, 0, 0, 0}},
  };
  for (const CalendarCase& c : cases) {
    const ScopedTimeZone zone(c.zone);
    const platform::CalendarTime t = platform::FileTimeToLocalCalendar({c.seconds, 250000000});
    EXPECT_EQ(t.year, c.expected.year) << c.zone;
    EXPECT_EQ(t.month, c.expected.month) << c.zone;
    EXPECT_EQ(t.day, c.expected.day) << c.zone;
    EXPECT_EQ(t.hour, c.expected.hour) << c.zone;
    EXPECT_EQ(t.minute, c.expected.minute) << c.zone;
    EXPECT_EQ(t.second, c.expected.second) << c.zone;
    EXPECT_EQ(t.millisecond, 250) << c.zone;
  }
}

TEST(LocalTimeNow, AgreesWithTheSystemClock) {
  const ScopedTimeZone zone("JST-9");
  const time_t before = time(nullptr);
  const platform::CalendarTime now = platform::LocalTimeNow();
  const time_t after = time(nullptr);
  struct tm fields {};
  fields.tm_year = now.year - 1900;
  fields.tm_mon = now.month - 1;
  fields.tm_mday = now.day;
  fields.tm_hour = now.hour;
  fields.tm_min = now.minute;
  fields.tm_sec = now.second;
  const time_t seen = timegm(&fields) - 9 * 3600;  // JST is UTC + 9 hours all year
  EXPECT_GE(seen, before);
  EXPECT_LE(seen, after);
  EXPECT_GE(now.millisecond, 0);
  EXPECT_LE(now.millisecond, 999);
}

TEST(InputFile, ReadsARegularFileToItsEnd) {
  Sandbox box;
  const std::string path = box.Write("a.txt", "hello\r\nworld\x1a tail");
  platform::InputFile file;
  ASSERT_TRUE(file.Open(path.c_str()));
  char buffer[64];
  std::string read;
  for (std::ptrdiff_t count; (count = file.Read(buffer, 4)) > 0;) {
    read.append(buffer, static_cast<std::size_t>(count));
  }
  EXPECT_EQ(read, "hello\r\nworld\x1a tail");
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.Read(buffer, sizeof buffer), -1);
}

TEST(InputFile, RefusesWhatIsNoRegularFileWithoutBlocking) {
  Sandbox box;
  box.Write("dir/a.txt", "");
  ASSERT_EQ(mkfifo(box.Path("pipe").c_str(), 0600), 0);
  platform::InputFile file;
  EXPECT_FALSE(file.Open(box.Path("pipe").c_str()));  // no writer: would block forever
  EXPECT_FALSE(file.Open(box.Path("dir").c_str()));
  EXPECT_FALSE(file.Open(box.Path("missing").c_str()));
  EXPECT_FALSE(file.IsOpen());
}

TEST(InputFile, OpenAgainClosesTheFirstFile) {
  Sandbox box;
  const std::string first = box.Write("1.txt", "one");
  const std::string second = box.Write("2.txt", "two");
  platform::InputFile file;
  ASSERT_TRUE(file.Open(first.c_str()));
  ASSERT_TRUE(file.Open(second.c_str()));
  char buffer[8] = {};
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 3);
  EXPECT_EQ(std::string(buffer, 3), "two");
  EXPECT_FALSE(file.Open(box.Path("missing").c_str()));
  EXPECT_FALSE(file.IsOpen());
}

}  // namespace
}  // namespace velto::testing
