// Many writers, threads and processes at once, on one status file: the
// updates interleave key by key, the last writer of each key wins, no key
// and no byte of the host's own text is lost, readers only ever see whole
// files and no temporary file remains.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/profile.h"
#include "status/status_profile.h"
#include "support/sandbox.h"
#include "support/status_file.h"

namespace velto::testing {
namespace {

constexpr int kProcesses = 3;         // child processes, besides this one
constexpr int kThreadsPerProcess = 3;
constexpr int kRounds = 40;

const std::string kHostText =
    "; written by the host, kept by every update\n"
    "[Host]\n"
    "Window=3\n"
    "\n"
    "[GetStatus]\n"
    "LineLength=40\n"
    "Unknown = stays as it is\n";

std::string KeyOf(int writer, char which) { return "W" + std::to_string(writer) + which; }

// One writer: a key of its own written alone, and a key of its own written
// together with a key that every writer shares, in each round.
bool RunWriter(const std::string& path, int writer) {
  const status::StatusProfile profile(path.c_str());
  bool ok = profile.IsValid();
  const std::string single = KeyOf(writer, 'S');
  const std::string grouped = KeyOf(writer, 'G');
  for (int round = 0; round < kRounds; ++round) {
    const std::string value = std::to_string(round);
    const std::string shared = std::to_string(writer) + ":" + value;
    ok = profile.WriteInt(single.c_str(), round) && ok;
    const platform::ProfileEntry entries[] = {{grouped.c_str(), value.c_str()},
                                              {"Shared", shared.c_str()}};
    ok = profile.WriteStrings(entries) && ok;
  }
  return ok;
}

// Runs the writers first..first+count-1 on threads; true when every write
// succeeded.
bool RunWriterThreads(const std::string& path, int first, int count) {
  std::atomic<bool> ok{true};
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) {
    threads.emplace_back([&, writer = first + i] {
      if (!RunWriter(path, writer)) ok = false;
    });
  }
  for (std::thread& thread : threads) thread.join();
  return ok;
}

// A whole file starts with the host's text and has only complete lines.
bool LooksWhole(const std::string& text) {
  return text.compare(0, kHostText.size(), kHostText) == 0 && !text.empty() && text.back() == '\n';
}

TEST(ConcurrentWrites, EveryKeyKeepsItsLastValueAndNothingElseChanges) {
  Sandbox box;
  const std::string path = box.Write("status.ini", kHostText);

  // Children wait on a pipe so that all writers start together.
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(start[1]);
      char go = 0;
      const bool started = read(start[0], &go, 1) == 0;
      _exit(started && RunWriterThreads(path, (p + 1) * kThreadsPerProcess, kThreadsPerProcess)
                ? 0
                : 1);
    }
    children.push_back(child);
  }
  close(start[0]);

  std::atomic<bool> writing{true};
  std::atomic<int> reads{0};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (writing) {
      if (!LooksWhole(Sandbox::Read(path))) ++torn;
      ++reads;
    }
  });
  close(start[1]);
  const bool parent_ok = RunWriterThreads(path, 0, kThreadsPerProcess);
  bool children_ok = true;
  for (const pid_t child : children) {
    int status = 0;
    children_ok = waitpid(child, &status, 0) == child && WIFEXITED(status) &&
                  WEXITSTATUS(status) == 0 && children_ok;
  }
  writing = false;
  reader.join();

  EXPECT_TRUE(parent_ok);
  EXPECT_TRUE(children_ok);
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(torn.load(), 0);

  const std::string text = Sandbox::Read(path);
  EXPECT_TRUE(LooksWhole(text)) << text;
  auto section = ReadStatusSection(path);
  const std::string last = std::to_string(kRounds - 1);
  const int writers = (kProcesses + 1) * kThreadsPerProcess;
  for (int writer = 0; writer < writers; ++writer) {
    EXPECT_EQ(section[KeyOf(writer, 'S')], last) << writer;
    EXPECT_EQ(section[KeyOf(writer, 'G')], last) << writer;
  }
  const std::string shared = section["Shared"];
  EXPECT_EQ(shared.substr(shared.find(':') + 1), last) << shared;
  EXPECT_EQ(section["LineLength"], "40");
  EXPECT_EQ(section["Unknown"], "stays as it is");
  // Every key is there once: the host's lines, two per writer and Shared.
  const auto lines = [](const std::string& t) { return std::count(t.begin(), t.end(), '\n'); };
  EXPECT_EQ(lines(text), lines(kHostText) + 2 * writers + 1) << text;

  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(box.root())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"status.ini"});
}

}  // namespace
}  // namespace velto::testing
