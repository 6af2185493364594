// The exports end to end. TZ counts as it stood when the library was
// loaded, so most of these tests start this test program again as a child
// with the TZ they need and let it replay a script of export calls.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "datetime/conversions.h"
#include "datetime/edge_cases.h"
#include "datetime/time_zone_settings.h"
#include "datetime/tzif_builder.h"
#include "support/sandbox.h"
#include "velto.h"

extern char** environ;

namespace velto::datetime {
namespace {

using testing::ConversionCase;
using testing::Sandbox;

constexpr const char* kScriptVariable = "VELTO_DATETIME_SCRIPT";
constexpr const char* kOutputVariable = "VELTO_DATETIME_OUTPUT";
constexpr const char* kNull = "-";

std::string ToHex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex = "x";  // never empty, so an empty text stays a field
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
  }
  return hex;
}

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 1; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  }
  return bytes;
}

std::string Field(const char* text) { return text != nullptr ? ToHex(text) : kNull; }

// ---------------------------------------------------------------------------
// Child side: replays the script named by VELTO_DATETIME_SCRIPT and writes
// one line per result to VELTO_DATETIME_OUTPUT. Disabled, so that it runs
// only when a test starts it on purpose.
//   E epoch format   AdjustEpochDateTimeToLocal, result
//   L datetime       AdjustLocalDateTimeToEpoch, result
//   R                the text at the pointer the last E returned
//   S name value     setenv
//   D path           dlopen the shared library; E and L then call it
//   T threads        first set-up from that many threads at once
// Arguments are hex ("x" + digits) or "-" for a null pointer.

using ToLocalFunction = const char* (*)(const char*, const char*);
using ToEpochFunction = const char* (*)(const char*);

struct Exports {
  ToLocalFunction to_local = &AdjustEpochDateTimeToLocal;
  ToEpochFunction to_epoch = &AdjustLocalDateTimeToEpoch;
};

template <typename Function>
Function Symbol(void* library, const char* name) {
  void* address = dlsym(library, name);
  Function function = nullptr;
  if (address != nullptr) std::memcpy(&function, &address, sizeof function);
  return function;
}

std::string ConcurrentFirstSetUp(int threads) {
  std::atomic<bool> go{false};
  std::vector<const TimeZoneSettings*> seen(static_cast<std::size_t>(threads), nullptr);
  std::vector<std::thread> workers;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    workers.emplace_back([&go, &seen, i] {
      while (!go.load()) std::this_thread::yield();
      seen[i] = &ProcessTimeZoneSettings();
    });
  }
  go = true;
  for (std::thread& worker : workers) worker.join();
  const bool same = std::all_of(seen.begin(), seen.end(),
                                [&seen](const TimeZoneSettings* s) { return s == seen.front(); });
  return std::string(same ? "same " : "different ") + std::to_string(seen.front()->offset_west);
}

TEST(ExportDriver, DISABLED_Run) {
  const char* script_path = std::getenv(kScriptVariable);
  const char* output_path = std::getenv(kOutputVariable);
  ASSERT_NE(script_path, nullptr);
  ASSERT_NE(output_path, nullptr);
  std::ifstream script(script_path);
  std::ofstream output(output_path);
  const auto argument = [](const std::string& field) -> std::string {
    return field == kNull ? std::string() : FromHex(field);
  };
  const auto pointer = [](const std::string& field, const std::string& value) {
    return field == kNull ? nullptr : value.c_str();
  };
  Exports exports;
  const char* last_local = nullptr;
  std::string line;
  while (std::getline(script, line)) {
    std::istringstream words(line);
    std::string command, first, second;
    words >> command >> first >> second;
    const std::string a = argument(first);
    const std::string b = argument(second);
    if (command == "E") {
      last_local = exports.to_local(pointer(first, a), pointer(second, b));
      output << ToHex(last_local) << "\n";
    } else if (command == "L") {
      output << ToHex(exports.to_epoch(pointer(first, a))) << "\n";
    } else if (command == "R") {
      output << ToHex(last_local != nullptr ? last_local : "") << "\n";
    } else if (command == "S") {
      setenv(a.c_str(), b.c_str(), 1);
    } else if (command == "D") {
      void* library = dlopen(a.c_str(), RTLD_NOW | RTLD_LOCAL);
      ASSERT_NE(library, nullptr) << dlerror();
      exports.to_local = Symbol<ToLocalFunction>(library, "AdjustEpochDateTimeToLocal");
      exports.to_epoch = Symbol<ToEpochFunction>(library, "AdjustLocalDateTimeToEpoch");
      ASSERT_NE(exports.to_local, nullptr);
      ASSERT_NE(exports.to_epoch, nullptr);
    } else if (command == "T") {
      output << ToHex(ConcurrentFirstSetUp(std::stoi(a))) << "\n";
    }
  }
}

// ---------------------------------------------------------------------------
// Parent side.

class ChildScript {
 public:
  ChildScript& ToLocal(const char* epoch, const char* format) {
    return Add("E " + Field(epoch) + " " + Field(format));
  }
  ChildScript& ToEpoch(const char* datetime) { return Add("L " + Field(datetime)); }
  ChildScript& Run(const ConversionCase& c) {
    return c.format != nullptr ? ToLocal(c.input, c.format) : ToEpoch(c.input);
  }
  ChildScript& RereadLastLocal() { return Add("R"); }
  ChildScript& SetEnv(const char* name, const char* value) {
    return Add("S " + Field(name) + " " + Field(value));
  }
  ChildScript& LoadSharedLibrary(const char* path) { return Add("D " + Field(path)); }
  ChildScript& FirstSetUpFromThreads(int threads) {
    return Add("T " + Field(std::to_string(threads).c_str()));
  }
  const std::string& Text() const { return text_; }

 private:
  ChildScript& Add(const std::string& line) {
    text_ += line + "\n";
    return *this;
  }
  std::string text_;
};

bool IsTzEntry(const char* entry) {
  return (entry[0] == 'T' || entry[0] == 't') && (entry[1] == 'Z' || entry[1] == 'z') &&
         entry[2] == '=';
}

// Runs the script in a fresh copy of this program whose environment has no
// TZ (in any case) except the entries given. Returns the results; a child
// that fails adds a test failure carrying its output.
std::vector<std::string> RunInChild(const ChildScript& script,
                                    const std::vector<std::string>& tz_entries) {
  Sandbox sandbox;
  const std::string script_path = sandbox.Write("script", script.Text());
  const std::string output_path = sandbox.Path("output");
  const std::string log_path = sandbox.Path("log");

  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!IsTzEntry(*entry)) environment.emplace_back(*entry);
  }
  environment.insert(environment.end(), tz_entries.begin(), tz_entries.end());
  environment.push_back(std::string(kScriptVariable) + "=" + script_path);
  environment.push_back(std::string(kOutputVariable) + "=" + output_path);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  std::string program = "/proc/self/exe";
  std::string filter = "--gtest_filter=ExportDriver.DISABLED_Run";
  std::string disabled = "--gtest_also_run_disabled_tests";
  std::vector<char*> argv = {program.data(), filter.data(), disabled.data(), nullptr};

  const int log = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  EXPECT_GE(log, 0);
  if (log < 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    dup2(log, STDOUT_FILENO);
    dup2(log, STDERR_FILENO);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(log);
  EXPECT_GT(child, 0) << "fork failed";
  if (child <= 0) return {};
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "child failed:\n" << Sandbox::Read(log_path);

  std::vector<std::string> results;
  std::ifstream output(output_path);
  std::string line;
  while (std::getline(output, line)) results.push_back(FromHex(line));
  return results;
}

void ExpectCasesInChild(const std::vector<ConversionCase>& cases, const char* tz) {
  ChildScript script;
  for (const ConversionCase& c : cases) script.Run(c);
  const std::vector<std::string> results = RunInChild(script, {std::string("TZ=") + tz});
  ASSERT_EQ(results.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(results[i], cases[i].expected) << testing::Describe(cases[i]) << " with TZ=" << tz;
  }
}

TEST(ExportsInChildTest, JapanStandardTime) { ExpectCasesInChild(testing::JapanCases(), "JST-9"); }

TEST(ExportsInChildTest, PacificTime) { ExpectCasesInChild(testing::PacificCases(), "PST8PDT"); }

TEST(ExportsInChildTest, TzChangesAfterLoadHaveNoEffect) {
  ChildScript script;
  script.SetEnv("TZ", "PST8PDT")
      .ToLocal("0", "%H %Z")
      .SetEnv("TZ", "UTC0")
      .ToLocal("0", "%H %Z")
      .ToEpoch("19700101090000");
  EXPECT_EQ(RunInChild(script, {"TZ=JST-9"}),
            (std::vector<std::string>{"09 JST", "09 JST", "0"}));
}

TEST(ExportsInChildTest, TheTzNameIsMatchedWithoutRegardToCase) {
  ChildScript script;
  script.ToLocal("0", "%H %Z");
  EXPECT_EQ(RunInChild(script, {"tz=JST-9"}), (std::vector<std::string>{"09 JST"}));
}

TEST(ExportsInChildTest, AVeryLongTzIsCutNotOverrun) {
  ChildScript script;
  script.ToLocal("0", "%H %Z").ToLocal("1183320000", "%H %Z");
  const std::string tz = "TZ=JST-9" + std::string(10000, 'x');
  EXPECT_EQ(RunInChild(script, {tz}), (std::vector<std::string>{"09 JST", "06 xxx"}));
}

TEST(ExportsInChildTest, ResultsLastUntilTheNextCallOfTheSameExport) {
  ChildScript script;
  script.ToLocal("1196394844", "%Y%m%d").ToEpoch("20071130125404").RereadLastLocal();
  EXPECT_EQ(RunInChild(script, {"TZ=JST-9"}),
            (std::vector<std::string>{"20071130", "1196394844", "20071130"}));
}

TEST(ExportsInChildTest, SetUpRunsOnceUnderConcurrentFirstCalls) {
  ChildScript script;
  script.FirstSetUpFromThreads(8).ToLocal("0", "%H %Z");
  EXPECT_EQ(RunInChild(script, {"TZ=JST-9"}), (std::vector<std::string>{"same -32400", "09 JST"}));
}

std::vector<ConversionCase> ZoneProbes() {
  return {{"0", "%Y-%m-%d %H:%M:%S %Z", ""},
          {"1183320000", "%Y-%m-%d %H:%M:%S %Z", ""},
          {"1196394844", "%Y-%m-%d %H:%M:%S %Z", ""},
          {"20070701120000", nullptr, ""}};
}

TEST(ExportsInChildTest, WithoutAUsableTzTheSystemZoneApplies) {
  // What the system zone gives, worked out here without the exports.
  const TimeZoneSettings system = FromTzValue(std::nullopt, PlatformZoneSources());
  ChildScript script;
  std::vector<std::string> expected;
  for (const ConversionCase& c : ZoneProbes()) {
    script.Run(c);
    expected.push_back(c.format != nullptr
                           ? EpochTextToLocal(c.input, c.format, system)
                           : std::to_string(CompactDateTimeToEpoch(c.input, system)));
  }
  const std::vector<std::vector<std::string>> environments = {
      {}, {"TZ="}, {"TZ=J9"}, {"TZ=:/nonexistent/zone"}, {"TZ=Nowhere/Zone"}};
  for (const auto& environment : environments) {
    EXPECT_EQ(RunInChild(script, environment), expected)
        << (environment.empty() ? "no TZ" : environment.front());
  }
}

TEST(ExportsInChildTest, TzNamingAZoneFileReadsIt) {
  Sandbox sandbox;
  const std::string eucla = sandbox.Write("Australia/Eucla", testing::MakeTzif("<+0845>-8:45"));
  const std::string york =
      sandbox.Write("America/York", testing::MakeTzif("EST5EDT,M3.2.0,M11.1.0"));
  ChildScript script;
  script.ToLocal("0", "%H:%M %Z");
  const std::vector<std::string> expected_eucla = {"08:45 +0845"};
  EXPECT_EQ(RunInChild(script, {"TZ=:" + eucla}), expected_eucla);
  EXPECT_EQ(RunInChild(script, {"TZ=" + eucla}), expected_eucla);

  // The zone file's own rule: 20 March 2007 is already daylight time.
  ChildScript march;
  march.ToLocal("1174392000", "%H:%M %Z");
  EXPECT_EQ(RunInChild(march, {"TZ=:" + york}), (std::vector<std::string>{"08:00 EDT"}));
}

TEST(ExportsInChildTest, TzNamingAnInstalledZone) {
  if (!std::filesystem::exists("/usr/share/zoneinfo/Asia/Tokyo")) {
    GTEST_SKIP() << "Asia/Tokyo is not installed";
  }
  ChildScript script;
  script.ToLocal("1196394844", "%Y%m%d%H%M%S %Z").ToEpoch("20071130125404");
  const std::vector<std::string> expected = {"20071130125404 JST", "1196394844"};
  EXPECT_EQ(RunInChild(script, {"TZ=:Asia/Tokyo"}), expected);
  EXPECT_EQ(RunInChild(script, {"TZ=Asia/Tokyo"}), expected);
}

TEST(ExportsInChildTest, TheSharedLibraryTakesTzWhenItIsLoaded) {
  if (!std::filesystem::exists(VELTO_SHARED_LIBRARY)) {
    GTEST_SKIP() << VELTO_SHARED_LIBRARY << " is not built";
  }
  ChildScript script;
  script.ToLocal("0", "%H %Z")
      .SetEnv("TZ", "JST-9")
      .LoadSharedLibrary(VELTO_SHARED_LIBRARY)
      .ToLocal("0", "%H %Z")
      .SetEnv("TZ", "UTC0")
      .ToLocal("0", "%H %Z")
      .ToEpoch("19700101090000");
  EXPECT_EQ(RunInChild(script, {"TZ=PST8PDT"}),
            (std::vector<std::string>{"16 PST", "09 JST", "09 JST", "0"}));
}

// ---------------------------------------------------------------------------
// In this process: what holds under any zone.

TEST(ExportsTest, NullArgumentsGiveTheEmptyOrFailedResult) {
  EXPECT_STREQ(AdjustEpochDateTimeToLocal(nullptr, "%Y"), "");
  EXPECT_STREQ(AdjustEpochDateTimeToLocal("0", nullptr), "");
  EXPECT_STREQ(AdjustEpochDateTimeToLocal(nullptr, nullptr), "");
  EXPECT_STREQ(AdjustLocalDateTimeToEpoch(nullptr), "-1");
}

TEST(ExportsTest, EachResultIsClearedInFullBeforeANewOne) {
  const std::string long_format(300, 'q');
  const char* result = AdjustEpochDateTimeToLocal("1000000000", long_format.c_str());
  EXPECT_EQ(std::string(result), std::string(254, 'q'));
  EXPECT_EQ(AdjustEpochDateTimeToLocal("1000000000", "%Y"), result);
  EXPECT_STREQ(result, "2001");
  EXPECT_TRUE(std::all_of(result + 4, result + 255, [](char c) { return c == '\0'; }));

  // A negative value leaves the cleared buffer.
  EXPECT_EQ(AdjustEpochDateTimeToLocal("-5", "%Y"), result);
  EXPECT_TRUE(std::all_of(result, result + 255, [](char c) { return c == '\0'; }));
}

TEST(ExportsTest, TheTwoExportsKeepSeparateResults) {
  const char* local = AdjustEpochDateTimeToLocal("1000000000", "%Y");
  const char* epoch = AdjustLocalDateTimeToEpoch("20010101000000");
  EXPECT_NE(local, epoch);
  EXPECT_STREQ(local, "2001");
  EXPECT_STREQ(epoch, std::to_string(CompactDateTimeToEpoch("20010101000000",
                                                            ProcessTimeZoneSettings()))
                          .c_str());
  EXPECT_STREQ(AdjustLocalDateTimeToEpoch("19000101000000"), "-1");
  EXPECT_EQ(AdjustLocalDateTimeToEpoch("19000101000000"), epoch);
  EXPECT_STREQ(local, "2001");
}

}  // namespace
}  // namespace velto::datetime
