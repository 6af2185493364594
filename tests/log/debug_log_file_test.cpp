#include "log/debug_log_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <string>

#include "support/sandbox.h"

namespace velto::log {
namespace {

using testing::Sandbox;
using testing::ScopedCurrentDirectory;

// "対象ファイル : " (target file) in code page 932.
const std::string kTargetFilePrefix = "\x91\xce\x8f\xdb\x83\x74\x83\x40\x83\x43\x83\x8b : ";

// Limits the size of the files this process writes for one scope; a write
// past the limit then fails (EFBIG) instead of raising SIGXFSZ.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &previous_);
    previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, previous_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previous_handler_);
  }
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

 private:
  rlimit previous_{};
  void (*previous_handler_)(int) = SIG_DFL;
};

// Whether text starts with the 27-byte prefix "YYYY/MM/DD hh:mm:ss.mmm || ".
bool StartsWithStamp(std::string_view text) {
  constexpr std::string_view kShape = "dddd/dd/dd dd:dd:dd.ddd || ";
  if (text.size() < kShape.size()) return false;
  for (std::size_t i = 0; i < kShape.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return false;
  }
  return true;
}

// Checks that the log holds exactly these messages, one timestamped line
// each, every line ending in CR LF.
void ExpectLogLines(std::string_view text, std::initializer_list<std::string_view> messages) {
  for (const std::string_view message : messages) {
    ASSERT_TRUE(StartsWithStamp(text)) << text;
    text.remove_prefix(27);
    ASSERT_EQ(text.substr(0, message.size()), message);
    text.remove_prefix(message.size());
    ASSERT_EQ(text.substr(0, 2), "\r\n");
    text.remove_prefix(2);
  }
  EXPECT_EQ(text, "") << "lines beyond the expected ones";
}

std::string Stamp(const platform::CalendarTime& time) {
  TimestampText text{};
  return std::string(FormatTimestamp(time, text));
}

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

TEST(DebugLogFileTest, StartsOffAndLogsNothing) {
  Sandbox sandbox;
  ScopedCurrentDirectory cwd(sandbox.root());
  DebugLogFile log;
  EXPECT_STREQ(log.path(), "");
  log.LogCharacterCount(3);
  log.LogTargetFile("a.txt");
  log.Close();
  EXPECT_TRUE(std::filesystem::is_empty(sandbox.root()));
}

TEST(DebugLogFileTest, ArmedCreatesTheFileOnlyOnTheFirstLine) {
  Sandbox sandbox;
  const std::string path = sandbox.Path("debug.log");
  DebugLogFile log;
  log.SetPath(path.c_str());
  EXPECT_EQ(log.path(), path);
  log.Close();
  EXPECT_FALSE(Exists(path));

  log.LogCharacterCount(1);
  log.LogCharacterCount(2);
  log.Close();
  EXPECT_EQ(log.path(), path);
  ExpectLogLines(Sandbox::Read(path), {"dwCharacterCount : 1", "dwCharacterCount : 2"});
}

TEST(DebugLogFileTest, DestructionWritesOutBufferedLines) {
  Sandbox sandbox;
  const std::string path = sandbox.Path("debug.log");
  {
    DebugLogFile log;
    log.SetPath(path.c_str());
    log.LogCharacterCount(5);
  }
  ExpectLogLines(Sandbox::Read(path), {"dwCharacterCount : 5"});
}

TEST(DebugLogFileTest, UnopenableLogTurnsLoggingOffAndCreatesNothing) {
  for (const char* relative_path : {"missing/debug.log", "folder"}) {
    Sandbox sandbox;
    std::filesystem::create_directory(sandbox.root() / "folder");
    DebugLogFile log;
    log.SetPath(sandbox.Path(relative_path).c_str());
    log.LogCharacterCount(1);
    EXPECT_STREQ(log.path(), "") << relative_path;
    log.LogCharacterCount(2);
    log.Close();
    EXPECT_FALSE(Exists(sandbox.Path("missing"))) << relative_path;
    EXPECT_TRUE(std::filesystem::is_empty(sandbox.root() / "folder")) << relative_path;
  }
}

TEST(DebugLogFileTest, FailedWriteTurnsLoggingOff) {
  // A log file that may not grow: every write that reaches it fails. (A
  // device such as /dev/full is never opened as a log.)
  Sandbox sandbox;
  const ScopedFileSizeLimit no_growth(0);
  DebugLogFile log;
  log.SetPath(sandbox.Path("debug.log").c_str());
  // Longer than any stream buffer, so the write reaches the file at once.
  const std::string target(1 << 16, 'x');
  log.LogTargetFile(target.c_str());
  EXPECT_STREQ(log.path(), "");
  log.Close();
  EXPECT_EQ(Sandbox::Read(sandbox.Path("debug.log")), "");
}

TEST(DebugLogFileTest, OldLogKeptUntilTheFirstNewLine) {
  Sandbox sandbox;
  const std::string path = sandbox.Write("debug.log", "earlier measurement\r\n");
  {
    DebugLogFile log;
    log.SetPath(path.c_str());
  }
  EXPECT_EQ(Sandbox::Read(path), "earlier measurement\r\n");
  {
    DebugLogFile log;
    log.SetPath(path.c_str());
    log.LogCharacterCount(12);
  }
  ExpectLogLines(Sandbox::Read(path), {"dwCharacterCount : 12"});
}

TEST(DebugLogFileTest, TimestampFieldsAreZeroPadded) {
  struct Case {
    platform::CalendarTime time;
    const char* expected;
  };
  const Case cases[] = {
      {{2007, 3, 5, 9, 4, 3, 7}, "2007/03/05 09:04:03.007 || "},
      {{1999, 12, 31, 23, 59, 59, 999}, "1999/12/31 23:59:59.999 || "},
      {{2024, 1, 1, 0, 0, 0, 0}, "2024/01/01 00:00:00.000 || "},
      {{812, 10, 10, 10, 10, 10, 10}, "0812/10/10 10:10:10.010 || "},
      // A year past four digits is written whole, not cut.
      {{10000, 1, 2, 3, 4, 5, 60}, "10000/01/02 03:04:05.060 || "},
  };
  for (const Case& c : cases) EXPECT_EQ(Stamp(c.time), c.expected);
}

TEST(DebugLogFileTest, LineCarriesTheTimeItWasLoggedAt) {
  Sandbox sandbox;
  const std::string path = sandbox.Path("debug.log");
  std::string before;
  std::string after;
  {
    DebugLogFile log;
    log.SetPath(path.c_str());
    before = Stamp(platform::LocalTimeNow());
    log.LogCharacterCount(0);
    after = Stamp(platform::LocalTimeNow());
  }
  const std::string line = Sandbox::Read(path);
  ASSERT_EQ(line.size(), 27U + 20U + 2U);
  const std::string stamp = line.substr(0, 27);
  // Zero-padded fields in falling order compare as text.
  EXPECT_LE(before, stamp);
  EXPECT_LE(stamp, after);
}

TEST(DebugLogFileTest, MeasurementMessagesHaveTheirExactBytes) {
  Sandbox sandbox;
  const std::string path = sandbox.Path("debug.log");
  // "資料.txt" in code page 932: the path bytes are written unchanged, and
  // whole however long they are.
  const std::string target = "/data/\x8e\x91\x97\xbf.txt";
  const std::string long_target = "/" + std::string(250, 'p');
  {
    DebugLogFile log;
    log.SetPath(path.c_str());
    log.LogTargetFile(target.c_str());
    log.LogTargetFile(long_target.c_str());
    log.LogCharacterCount(12);
    log.LogCharacterCount(-7);
    log.LogCharacterCount(2147483648LL);
  }
  ExpectLogLines(Sandbox::Read(path),
                 {kTargetFilePrefix + target, kTargetFilePrefix + long_target,
                  "dwCharacterCount : 12", "dwCharacterCount : -7", "dwCharacterCount : 2147483648"});
}

TEST(DebugLogFileTest, LineFeedsInsideAPathBecomeCrLf) {
  Sandbox sandbox;
  const std::string path = sandbox.Path("debug.log");
  {
    DebugLogFile log;
    log.SetPath(path.c_str());
    log.LogTargetFile("one\ntwo");
  }
  const std::string text = Sandbox::Read(path);
  EXPECT_EQ(text.substr(27), kTargetFilePrefix + "one\r\ntwo\r\n");
}

TEST(DebugLogFileTest, RelativePathsAndSeparators) {
  Sandbox sandbox;
  ScopedCurrentDirectory cwd(sandbox.root());
  const std::string directory = std::filesystem::current_path().string();
  std::filesystem::create_directory(sandbox.root() / "logs");
  DebugLogFile log;
  log.SetPath("debug.log");
  EXPECT_EQ(log.path(), directory + "/debug.log");
  log.SetPath("logs/debug.log");
  EXPECT_STREQ(log.path(), "logs/debug.log");
  log.LogCharacterCount(1);
  log.Close();
  EXPECT_TRUE(Exists(sandbox.Path("logs/debug.log")));
  log.SetPath("");
  EXPECT_STREQ(log.path(), "");
}

TEST(DebugLogFileTest, PathThatDoesNotFitTurnsLoggingOff) {
  Sandbox sandbox;
  ScopedCurrentDirectory cwd(sandbox.root());
  const std::size_t directory_length = std::filesystem::current_path().string().size();
  ASSERT_LT(directory_length + 2, 259U);

  // cwd + '/' + name of exactly 259 bytes fits; one byte more does not.
  const std::string fitting_name(259 - directory_length - 1, 'f');
  DebugLogFile log;
  log.SetPath(fitting_name.c_str());
  EXPECT_EQ(std::string(log.path()).size(), 259U);
  log.SetPath((fitting_name + "g").c_str());
  EXPECT_STREQ(log.path(), "");
  log.SetPath(("/" + std::string(259, 'h')).c_str());
  EXPECT_STREQ(log.path(), "");
  log.LogCharacterCount(1);
  EXPECT_TRUE(std::filesystem::is_empty(sandbox.root()));
}

}  // namespace
}  // namespace velto::log
