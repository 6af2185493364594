// velto status, velto time, help and version, and every error a user can
// run into, with its message and exit status.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "support/unprivileged.h"
#include "test_text.h"
#include "tool_runner.h"

namespace velto::testing {
namespace {

std::map<std::string, std::string> KeyValues(const std::string& out) {
  std::map<std::string, std::string> values;
  for (const std::string& line : SplitLines(out)) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

TEST(StatusCommandTest, WritesTheUsersStatusFileAndPrintsItsResults) {
  const Sandbox sandbox;
  const std::string target = sandbox.Write("目標.txt", "abc\r\nde");
  const std::string status = sandbox.Write("status.ini", StatusText("LineLength=20\nPageLength=20\n"));
  const ToolRun run = RunTool(sandbox, {"status", target, status});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const auto values = KeyValues(run.out);
  // The name is stored in the file system's bytes and shown as they are.
  EXPECT_EQ(values.at("Name"), "目標.txt");
  EXPECT_EQ(values.at("TimeStamp").size(), 19U) << values.at("TimeStamp");
  EXPECT_EQ(values.at("Size"), "7");
  EXPECT_EQ(values.at("CRLF"), "6");
  EXPECT_EQ(values.at("NoCRLF"), "5");
  EXPECT_EQ(values.at("LineCount"), "2");
  EXPECT_EQ(values.at("PageCount"), "1");
  EXPECT_EQ(values.at("ModCount"), "2");
  // The results are the user's status file's own content now.
  EXPECT_NE(Sandbox::Read(status).find("LineCount=2"), std::string::npos);
}

TEST(StatusCommandTest, FileAndDataCallsPrintTheirOwnKeys) {
  const Sandbox sandbox;
  const std::string target = sandbox.Write("t.txt", "x");
  const std::string status = sandbox.Write("status.ini", "");
  const ToolRun file_run = RunTool(sandbox, {"status", "--file", target, status});
  ASSERT_EQ(file_run.exit_status, 0) << file_run.err;
  auto values = KeyValues(file_run.out);
  EXPECT_EQ(values.at("Name"), "t.txt");
  EXPECT_EQ(values.count("LineCount"), 0U);

  const ToolRun data_run = RunTool(sandbox, {"status", "--data", target, status});
  ASSERT_EQ(data_run.exit_status, 0) << data_run.err;
  values = KeyValues(data_run.out);
  EXPECT_EQ(values.count("Name"), 0U);
  EXPECT_EQ(values.at("CRLF"), "1");
}

TEST(StatusCommandTest, FailedExportGivesExitStatusOne) {
  const Sandbox sandbox;
  const std::string status = sandbox.Write("status.ini", "");
  const ToolRun run = RunTool(sandbox, {"status", sandbox.Path("missing.txt"), status});
  EXPECT_EQ(run.exit_status, 1);
  const auto values = KeyValues(run.out);
  EXPECT_EQ(values.at("Name"), "");
  EXPECT_EQ(values.at("TimeStamp"), "");

  const ToolRun no_status = RunTool(sandbox, {"status", status, sandbox.Path("none.ini")});
  EXPECT_EQ(no_status.exit_status, 1);
  EXPECT_NE(no_status.err.find("does not exist"), std::string::npos) << no_status.err;
}

struct TimeCase {
  std::vector<std::string> args;
  int exit_status;
  std::string out;
};

void PrintTo(const TimeCase& c, std::ostream* out) {
  for (const std::string& arg : c.args) *out << arg << ' ';
}

class TimeCommandTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeCommandTest, ConvertsInTheZoneOfTZ) {
  const Sandbox sandbox;
  std::vector<std::string> args = {"time"};
  args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
  const ToolRun run = RunTool(sandbox, ToolCall{args, {}, {"TZ=JST-9"}, false});
  EXPECT_EQ(run.exit_status, GetParam().exit_status) << run.err;
  EXPECT_EQ(run.out, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, TimeCommandTest,
    ::testing::Values(TimeCase{{"to-epoch", "20071130125404"}, 0, "1196394844\n"},
                      TimeCase{{"to-local", "1196394844"}, 0, "2007/11/30 12:54:04\n"},
                      TimeCase{{"to-local", "1196394844", "%Y年%m月%d日"}, 0, "2007年11月30日\n"},
                      TimeCase{{"to-local", "0", "%H:%M"}, 0, "09:00\n"},
                      TimeCase{{"to-local", "-5"}, 1, ""},
                      TimeCase{{"to-local", "soon"}, 2, ""},
                      TimeCase{{"to-epoch", "2007-11-30"}, 2, ""},
                      TimeCase{{"to-local", "0", "%Y😀"}, 2, ""}));

struct ErrorCase {
  const char* label;
  std::vector<std::string> args;  // "FILE" stands for a readable sample
  int exit_status;
  const char* message;            // part of the one-line message
};

void PrintTo(const ErrorCase& c, std::ostream* out) { *out << c.label; }

class ErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ErrorTest, ExitsWithOneClearLine) {
  const Sandbox sandbox;
  sandbox.Write("sample.txt", "text\n");
  std::vector<std::string> args = GetParam().args;
  for (std::string& arg : args) {
    if (arg == "FILE") arg = "sample.txt";
  }
  const ToolRun run = RunTool(sandbox, args);
  EXPECT_EQ(run.exit_status, GetParam().exit_status) << run.err;
  EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  EXPECT_EQ(SplitLines(run.err).size(), 1U) << run.err;
  EXPECT_TRUE(run.err.starts_with("velto: ")) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ErrorTest,
    ::testing::Values(
        ErrorCase{"missing", {"count", "nothing.txt"}, 1, "nothing.txt: no such file"},
        ErrorCase{"directory", {"count", "."}, 1, "is a directory"},
        ErrorCase{"short_line", {"count", "--line-length", "5", "FILE"}, 2, "--line-length"},
        ErrorCase{"one", {"show", "--line-length", "1", "FILE"}, 2, "too short"},
        ErrorCase{"negative_line", {"count", "--line-length", "-20", "FILE"}, 2, "--line-length"},
        ErrorCase{"page", {"count", "--page-length", "x", "FILE"}, 2, "--page-length"},
        ErrorCase{"accent", {"count", "--no-top", "」é", "FILE"}, 2, "U+00E9"},
        ErrorCase{"emoji", {"show", "--no-end", "😀", "FILE"}, 2, "U+1F600"},
        ErrorCase{"hang", {"count", "--hang", "\u301C", "FILE"}, 2, "U+301C"},
        ErrorCase{"encoding", {"count", "--encoding", "latin-1", "FILE"}, 2, "unknown encoding"},
        ErrorCase{"charset", {"count", "--encoding", "8", "FILE"}, 2, "unknown encoding"},
        ErrorCase{"status", {"count", "--status", "none.ini", "FILE"}, 2, "none.ini"},
        ErrorCase{"stdin_twice", {"count", "-", "-"}, 2, "only once"},
        ErrorCase{"no_command", {}, 2, "subcommand"},
        ErrorCase{"no_file", {"count"}, 2, "FILE"},
        ErrorCase{"unknown_option", {"count", "--width", "3", "FILE"}, 2, "--width"}),
    [](const ::testing::TestParamInfo<ErrorCase>& param_info) { return std::string(param_info.param.label); });

// Run as an ordinary user; root runs the tool as "nobody", whom the
// permission binds.
TEST(ErrorTest, UnreadableFileIsReported) {
  const Sandbox sandbox;
  const std::string file = sandbox.Write("secret.txt", "text\n");
  ASSERT_EQ(chmod(file.c_str(), 0), 0);
  constexpr int kReported = 1;
  constexpr int kToolNotRunnable = 2;
  const auto outcome = RunUnprivileged(sandbox.root(), [&] {
    if (access(VELTO_TOOL, X_OK) != 0) return kToolNotRunnable;
    const ToolRun run = RunTool(sandbox, {"count", file});
    return run.exit_status == 1 && run.err.find("cannot read") != std::string::npos ? kReported : 0;
  });
  if (outcome == kToolNotRunnable) GTEST_SKIP() << "nobody may run " << VELTO_TOOL;
  EXPECT_EQ(outcome, kReported);
}

TEST(ErrorTest, FileThatOpensButCannotBeReadIsReported) {
  // Reading a process's own memory at offset 0 fails even for root.
  const Sandbox sandbox;
  if (access("/proc/self/mem", F_OK) != 0) GTEST_SKIP() << "no /proc";
  const ToolRun run = RunTool(sandbox, {"count", "/proc/self/mem"});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(run.err.find("cannot read /proc/self/mem"), std::string::npos) << run.err;
}

TEST(ErrorTest, OtherFilesAreStillCountedAfterAMissingOne) {
  const Sandbox sandbox;
  sandbox.Write("a.txt", "abc\n");
  const ToolRun run = RunTool(sandbox, {"count", "--json", "missing.txt", "a.txt"});
  EXPECT_EQ(run.exit_status, 1);
  const auto lines = SplitLines(run.out);
  ASSERT_EQ(lines.size(), 1U) << run.out;
  EXPECT_EQ(ParseJsonObject(lines[0]).at("file"), "a.txt");
}

// The private folder goes whichever way the tool ends: success, a refused
// file, or death by SIGPIPE while printing into a closed pipe.
TEST(PrivateFolderTest, NothingIsLeftInTheTemporaryDirectory) {
  const Sandbox sandbox;
  sandbox.Write("sample.txt", "text\n");
  std::filesystem::create_directory(sandbox.Path("tmp"));
  const std::vector<std::string> env = {"TMPDIR=" + sandbox.Path("tmp")};
  const ToolRun ok = RunTool(sandbox, ToolCall{{"count", "sample.txt", "-"}, "stdin\n", env, false});
  EXPECT_EQ(ok.exit_status, 0) << ok.err;
  const ToolRun refused = RunTool(sandbox, ToolCall{{"count", "missing.txt"}, {}, env, false});
  EXPECT_EQ(refused.exit_status, 1);
  // Long enough that the output is written while the folder still exists.
  std::string long_text;
  for (int i = 0; i < 2000; ++i) long_text += "一行の文章です。\n";
  sandbox.Write("long.txt", long_text);
  const ToolRun piped = RunTool(sandbox, ToolCall{{"show", "long.txt"}, {}, env, true});
  EXPECT_EQ(piped.signal, SIGPIPE);
  EXPECT_TRUE(std::filesystem::is_empty(sandbox.Path("tmp")));
}

TEST(HelpTest, EveryCommandHasHelpAndTheToolAVersion) {
  const Sandbox sandbox;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"count", "--help"}, {"show", "--help"},
        {"status", "--help"}, {"time", "--help"}, {"time", "to-local", "--help"},
        {"time", "to-epoch", "--help"}}) {
    const ToolRun run = RunTool(sandbox, args);
    EXPECT_EQ(run.exit_status, 0) << args.back();
    EXPECT_NE(run.out.find("Usage"), std::string::npos) << run.out;
  }
  const ToolRun run = RunTool(sandbox, {"--version"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_TRUE(run.out.starts_with("velto ")) << run.out;
  EXPECT_NE(run.out.find_first_of("0123456789"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace velto::testing
