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
  EXPECT_EQ(log.state(), LogState::kOff);
  EXPECT_STREQ(log.path(), "");
  EXPECT_STREQ(log.mode(), "w");
  EXPECT_EQ(log.Log("message"), 1);
  EXPECT_EQ(log.WriteLine("text"), 1);
  EXPECT_EQ(log.LogCharacterCount(3), 1);
  EXPECT_EQ(log.LogTargetFile("a.txt"), 1);
  log.Close();
  EXPECT_EQ(log.state(), LogState::kOff);
  EXPECT_TRUE(std::filesystem::is_empty(sandbox.root()));
}

TEST(DebugLogFileTest, ArmedCreatesTheFileOnlyOnTheFirstLine) {
  Sandbox sandbox;
  const std::string path = sandbox.Path("debug.log");
  DebugLogFile log;
  log.SetPathAndMode(path.c_str(), "w");
  EXPECT_EQ(log.state(), LogState::kArmed);
  EXPECT_EQ(log.path(), path);
  EXPECT_FALSE(Exists(path));

  EXPECT_EQ(log.Log("first"), 1);
  EXPECT_EQ(log.state(), LogState::kWriting);
  EXPECT_EQ(log.Log("second"), 1);
  log.Close();
  EXPECT_EQ(log.state(), LogState::kArmed);
  EXPECT_EQ(log.path(), path);

  ExpectLogLines(Sandbox::Read(path), {"first", "second"});
}

TEST(DebugLogFileTest, CloseOutsideWritingChangesNothing) {
  Sandbox sandbox;
  DebugLogFile log;
  log.Close();
  EXPECT_EQ(log.state(), LogState::kOff);
  log.SetPath(sandbox.Path("debug.log").c_str());
  log.Close();
  EXPECT_EQ(log.state(), LogState::kArmed);
  EXPECT_FALSE(Exists(sandbox.Path("debug.log")));
}

TEST(DebugLogFileTest, DestructionWritesOutBufferedLines) {
  Sandbox sandbox;
  const std::string path = sandbox.Path("debug.log");
  {
    DebugLogFile log;
    log.SetPath(path.c_str());
    ASSERT_EQ(log.Log("kept"), 1);
  }
  ExpectLogLines(Sandbox::Read(path), {"kept"});
}

struct UnopenableCase {
  const char* name;
  const char* relative_path;
};

void PrintTo(const UnopenableCase& c, std::ostream* out) { *out << c.name; }

class UnopenableLogTest : public ::testing::TestWithParam<UnopenableCase> {};

TEST_P(UnopenableLogTest, FirstLogFailsThenLoggingIsOff) {
  Sandbox sandbox;
  std::filesystem::create_directory(sandbox.root() / "folder");
  const std::string path = sandbox.Path(GetParam().relative_path);
  DebugLogFile log;
  log.SetPath(path.c_str());
  ASSERT_EQ(log.state(), LogState::kArmed);

  EXPECT_EQ(log.Log("lost"), 0);
  EXPECT_EQ(log.state(), LogState::kOff);
  EXPECT_STREQ(log.path(), "");
  EXPECT_EQ(log.Log("also lost"), 1);
  EXPECT_EQ(log.LogCharacterCount(1), 1);
  log.Close();
  EXPECT_EQ(log.state(), LogState::kOff);
  EXPECT_FALSE(Exists(sandbox.Path("missing")));
  EXPECT_TRUE(std::filesystem::is_directory(sandbox.root() / "folder"));
}

INSTANTIATE_TEST_SUITE_P(Paths, UnopenableLogTest,
                         ::testing::Values(UnopenableCase{"MissingFolder", "missing/debug.log"},
                                           UnopenableCase{"Directory", "folder"}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(DebugLogFileTest, FailedWriteTurnsLoggingOffUntilClose) {
  // A log file that may not grow: every write that reaches it fails. (A
  // device such as /dev/full is never opened as a log.)
  Sandbox sandbox;
  const ScopedFileSizeLimit no_growth(0);
  DebugLogFile log;
  log.SetPath(sandbox.Path("debug.log").c_str());
  // Longer than any stream buffer, so the write reaches the device at once.
  const std::string message(1 << 16, 'x');
  EXPECT_EQ(log.Log(message.c_str()), 0);
  EXPECT_EQ(log.state(), LogState::kFailed);
  EXPECT_EQ(log.Log("after the failure"), 1);
  EXPECT_EQ(log.state(), LogState::kFailed);
  log.Close();
  EXPECT_EQ(log.state(), LogState::kOff);
}

TEST(DebugLogFileTest, OldLogKeptWhenNothingIsLogged) {
  Sandbox sandbox;
  const std::string path = sandbox.Write("debug.log", "earlier measurement\r\n");
  {
    DebugLogFile log;
    log.SetPathAndMode(path.c_str(), "w");
  }
  EXPECT_EQ(Sandbox::Read(path), "earlier measurement\r\n");
}

TEST(DebugLogFileTest, OldLogEmptiedByTheFirstNewLine) {
  Sandbox sandbox;
  const std::string path = sandbox.Write("debug.log", "earlier measurement\r\n");
  {
    DebugLogFile log;
    log.SetPathAndMode(path.c_str(), "w");
    ASSERT_EQ(log.LogCharacterCount(12), 1);
  }
  ExpectLogLines(Sandbox::Read(path), {"dwCharacterCount : 12"});
}

TEST(DebugLogFileTest, AppendModeKeepsTheOldLog) {
  Sandbox sandbox;
  const std::string path = sandbox.Write("debug.log", "earlier\r\n");
  {
    DebugLogFile log;
    log.SetPathAndMode(path.c_str(), "a");
    EXPECT_STREQ(log.mode(), "a");
    ASSERT_EQ(log.WriteLine("later"), 1);
  }
  EXPECT_EQ(Sandbox::Read(path), "earlier\r\nlater\r\n");
}

TEST(DebugLogFileTest, UnknownModeTurnsLoggingOff) {
  Sandbox sandbox;
  for (const char* mode : {"r", "wb", "", "x"}) {
    DebugLogFile log;
    log.SetPathAndMode(sandbox.Path("debug.log").c_str(), mode);
    EXPECT_EQ(log.state(), LogState::kOff) << mode;
    EXPECT_STREQ(log.mode(), "w") << mode;
    EXPECT_EQ(log.Log("nothing"), 1);
  }
  EXPECT_FALSE(Exists(sandbox.Path("debug.log")));
}

TEST(DebugLogFileTest, WriteLineHasNoTimestampAndEndsInCrLf) {
  Sandbox sandbox;
  const std::string path = sandbox.Path("debug.log");
  {
    DebugLogFile log;
    log.SetPath(path.c_str());
    ASSERT_EQ(log.WriteLine("plain"), 1);
    ASSERT_EQ(log.WriteLine(""), 1);
  }
  EXPECT_EQ(Sandbox::Read(path), "plain\r\n\r\n");
}

TEST(DebugLogFileTest, LineFeedsInsideAMessageBecomeCrLf) {
  Sandbox sandbox;
  const std::string path = sandbox.Path("debug.log");
  {
    DebugLogFile log;
    log.SetPath(path.c_str());
    ASSERT_EQ(log.WriteLine("one\ntwo\n"), 1);
  }
  EXPECT_EQ(Sandbox::Read(path), "one\r\ntwo\r\n\r\n");
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
  EXPECT_EQ(Stamp(cases[0].time).size(), 27U);
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
    ASSERT_EQ(log.Log("now"), 1);
    after = Stamp(platform::LocalTimeNow());
  }
  const std::string line = Sandbox::Read(path);
  ASSERT_EQ(line.size(), 27U + 3U + 2U);
  const std::string stamp = line.substr(0, 27);
  // Zero-padded fields in falling order compare as text.
  EXPECT_LE(before, stamp);
  EXPECT_LE(stamp, after);
}

TEST(DebugLogFileTest, MessagesAreWrittenWholeWhateverTheirLength) {
  Sandbox sandbox;
  const std::string path = sandbox.Path("debug.log");
  const std::string longest_fitting(232, 'a');
  const std::string longer(300, 'b');
  {
    DebugLogFile log;
    log.SetPath(path.c_str());
    ASSERT_EQ(log.Log(longest_fitting.c_str()), 1);
    ASSERT_EQ(log.Log(longer.c_str()), 1);
  }
  const std::string text = Sandbox::Read(path);
  const std::size_t first_end = text.find("\r\n");
  ASSERT_NE(first_end, std::string::npos);
  EXPECT_EQ(first_end, 259U);
  EXPECT_EQ(text.substr(27, 232), longest_fitting);
  const std::string second = text.substr(first_end + 2);
  EXPECT_EQ(second.size(), 27U + 300U + 2U);
  ExpectLogLines(second, {longer});
}

TEST(DebugLogFileTest, MeasurementMessagesHaveTheirExactBytes) {
  Sandbox sandbox;
  const std::string path = sandbox.Path("debug.log");
  // "資料.txt" in code page 932: the path bytes are written unchanged.
  const std::string target = "/data/\x8e\x91\x97\xbf.txt";
  {
    DebugLogFile log;
    log.SetPath(path.c_str());
    ASSERT_EQ(log.LogTargetFile(target.c_str()), 1);
    ASSERT_EQ(log.LogCharacterCount(12), 1);
    ASSERT_EQ(log.LogCharacterCount(0), 1);
    ASSERT_EQ(log.LogCharacterCount(-7), 1);
    ASSERT_EQ(log.LogCharacterCount(2147483648LL), 1);
  }
  const std::string text = Sandbox::Read(path);
  ExpectLogLines(text, {kTargetFilePrefix + target, "dwCharacterCount : 12",
                        "dwCharacterCount : 0", "dwCharacterCount : -7",
                        "dwCharacterCount : 2147483648"});
}

TEST(DebugLogFileTest, TargetFileLineMayExceedTheOldLineLimit) {
  Sandbox sandbox;
  const std::string path = sandbox.Path("debug.log");
  const std::string target = "/" + std::string(250, 'p');
  {
    DebugLogFile log;
    log.SetPath(path.c_str());
    ASSERT_EQ(log.LogTargetFile(target.c_str()), 1);
  }
  const std::string text = Sandbox::Read(path);
  EXPECT_EQ(text.size(), 27U + kTargetFilePrefix.size() + target.size() + 2U);
  EXPECT_EQ(text.substr(27), kTargetFilePrefix + target + "\r\n");
}

TEST(DebugLogFileTest, RelativePathIsTakenFromTheCurrentDirectory) {
  Sandbox sandbox;
  ScopedCurrentDirectory cwd(sandbox.root());
  const std::string directory = std::filesystem::current_path().string();
  DebugLogFile log;
  log.SetPath("debug.log");
  EXPECT_EQ(log.path(), directory + "/debug.log");
  ASSERT_EQ(log.Log("here"), 1);
  log.Close();
  EXPECT_TRUE(Exists(directory + "/debug.log"));
}

TEST(DebugLogFileTest, PathWithSeparatorIsKeptAsWritten) {
  Sandbox sandbox;
  ScopedCurrentDirectory cwd(sandbox.root());
  std::filesystem::create_directory(sandbox.root() / "logs");
  DebugLogFile log;
  log.SetPath("logs/debug.log");
  EXPECT_STREQ(log.path(), "logs/debug.log");
  ASSERT_EQ(log.Log("relative to the current directory"), 1);
  log.Close();
  EXPECT_TRUE(Exists(sandbox.Path("logs/debug.log")));
}

TEST(DebugLogFileTest, EmptyPathLeavesLoggingOff) {
  Sandbox sandbox;
  ScopedCurrentDirectory cwd(sandbox.root());
  DebugLogFile log;
  log.SetPath(sandbox.Path("debug.log").c_str());
  log.SetPath("");
  EXPECT_EQ(log.state(), LogState::kOff);
  EXPECT_EQ(log.Log("nothing"), 1);
  EXPECT_TRUE(std::filesystem::is_empty(sandbox.root()));
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
  EXPECT_EQ(log.state(), LogState::kArmed);
  EXPECT_EQ(std::string(log.path()).size(), 259U);

  const std::string long_name = fitting_name + "g";
  log.SetPath(long_name.c_str());
  EXPECT_EQ(log.state(), LogState::kOff);

  const std::string long_path = "/" + std::string(259, 'h');
  log.SetPath(long_path.c_str());
  EXPECT_EQ(log.state(), LogState::kOff);
  EXPECT_EQ(log.Log("nothing"), 1);
}

}  // namespace
}  // namespace velto::log
