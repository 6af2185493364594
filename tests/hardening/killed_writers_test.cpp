// Hosts that get killed: three processes call GetStatus in a loop on one
// status file, each on a target of its own, and are killed with SIGKILL at
// a random moment, round after round (VELTO_KILL_ROUNDS, 150 by default: 450
// kills in a few seconds). After every round the status file parses, holds
// the host's text and settings unchanged, and its results are whole sets:
// Name and TimeStamp of one target (or not yet there), and Size with the
// six counts of one target, or Size of one target with the counts 0 (a
// measurement that had begun), or not yet there; never the numbers of two
// targets mixed. A killed writer leaves at most its one replacement file,
// and one more call leaves nothing but the status file and the targets.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/sandbox.h"
#include "velto.h"

namespace velto::testing {
namespace {

namespace fs = std::filesystem;
using Results = std::map<std::string, std::string>;

constexpr int kWriters = 3;

const std::string kHostText =
    "; the host's status file\n"
    "[Host]\n"
    "Window=3\n"
    "Recent=a.txt\n"
    "\n"
    "[GetStatus]\n"
    "LineLength=20\n"
    "PageLength=3\n"
    "NoTop_Hang=\x81\x41\x81\x42\n";

const std::set<std::string> kFileKeys = {"Name", "TimeStamp"};
const std::set<std::string> kDataKeys = {"Size",      "CRLF",      "NoCRLF",  "NoCRLF_NoBLANK",
                                         "LineCount", "PageCount", "ModCount"};

int KillRounds() {
  const char* rounds = std::getenv("VELTO_KILL_ROUNDS");
  const int value = rounds != nullptr ? std::atoi(rounds) : 0;
  return value > 0 ? value : 150;
}

// The result lines after the host's text; empty, with fault set, when the
// host's text changed or a line is not a result key of its own.
Results ResultLines(const std::string& text, std::string& fault) {
  Results results;
  if (text.compare(0, kHostText.size(), kHostText) != 0) {
    fault = "the host's text or settings changed:\n" + text;
    return results;
  }
  std::istringstream rest(text.substr(kHostText.size()));
  for (std::string line; std::getline(rest, line);) {
    const std::size_t equals = line.find('=');
    const std::string key = line.substr(0, equals);
    if (equals == std::string::npos || (kFileKeys.count(key) == 0 && kDataKeys.count(key) == 0) ||
        results.count(key) != 0) {
      fault = "an unexpected line after the settings: " + line;
      return results;
    }
    results[key] = line.substr(equals + 1);
  }
  return results;
}

Results Only(const Results& results, const std::set<std::string>& keys) {
  Results part;
  for (const auto& [key, value] : results) {
    if (keys.count(key) != 0) part[key] = value;
  }
  return part;
}

// Whether part is one of the whole sets a call leaves.
bool IsWholeSet(const Results& part, const std::vector<Results>& sets) {
  if (part.empty()) return true;  // not written yet
  for (const Results& set : sets) {
    if (part == set) return true;
  }
  return false;
}

struct Target {
  std::string path;
  Results file_results;   // Name, TimeStamp
  Results data_results;   // Size and the counts
  Results started;        // Size and the counts 0
};

// Targets of different lengths, each measured once alone for the results
// it gives.
std::vector<Target> MakeTargets(const Sandbox& box) {
  std::vector<Target> targets;
  for (int i = 0; i < kWriters; ++i) {
    std::string text;
    for (int line = 0; line < 3 + 7 * i; ++line) text += "\x82\xa0\x82\xa2 abc\x81\x41\n";
    Target target;
    target.path = box.Write("target" + std::to_string(i) + ".txt", text);
    const struct timespec times[2] = {{1173085441 + 3600 * i, 0}, {1173085441 + 3600 * i, 0}};
    utimensat(AT_FDCWD, target.path.c_str(), times, 0);
    const std::string alone = box.Write("alone.ini", kHostText);
    EXPECT_EQ(GetStatus(target.path.c_str(), alone.c_str()), 0);
    std::string fault;
    const Results results = ResultLines(Sandbox::Read(alone), fault);
    EXPECT_EQ(fault, "");
    fs::remove(alone);
    target.file_results = Only(results, kFileKeys);
    target.data_results = Only(results, kDataKeys);
    target.started = target.data_results;
    for (auto& [key, value] : target.started) {
      if (key != "Size") value = "0";
    }
    targets.push_back(target);
  }
  return targets;
}

// Names in the folder other than the targets and the status file.
std::vector<std::string> StrayNames(const Sandbox& box) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(box.root())) {
    const std::string name = entry.path().filename().string();
    if (name != "status.ini" && name.rfind("target", 0) != 0) names.push_back(name);
  }
  return names;
}

// Runs GetStatus on target in a loop until it is killed (or, as a bound,
// for ten seconds).
pid_t StartWriter(const std::string& target, const std::string& status) {
  const pid_t child = fork();
  if (child != 0) return child;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < until) GetStatus(target.c_str(), status.c_str());
  _exit(0);
}

TEST(KilledWriters, LeaveAWholeStatusFileAndNothingAfterOneMoreCall) {
  Sandbox box;
  const std::vector<Target> targets = MakeTargets(box);
  std::vector<Results> file_sets;
  std::vector<Results> data_sets;
  for (const Target& target : targets) {
    file_sets.push_back(target.file_results);
    data_sets.push_back(target.data_results);
    data_sets.push_back(target.started);
  }
  const std::string status = box.Write("status.ini", kHostText);

  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> pause_us(0, 4000);
  const int rounds = KillRounds();
  int rounds_with_leftover = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < rounds; ++round) {
    std::vector<pid_t> writers;
    for (const Target& target : targets) writers.push_back(StartWriter(target.path, status));
    std::this_thread::sleep_for(std::chrono::microseconds(pause_us(random)));
    for (const pid_t writer : writers) kill(writer, SIGKILL);
    for (const pid_t writer : writers) {
      int wait_status = 0;
      ASSERT_EQ(waitpid(writer, &wait_status, 0), writer);
      ASSERT_TRUE(WIFSIGNALED(wait_status)) << "a writer ended before it was killed";
    }

    std::string fault;
    const Results results = ResultLines(Sandbox::Read(status), fault);
    ASSERT_EQ(fault, "") << "round " << round;
    EXPECT_TRUE(IsWholeSet(Only(results, kFileKeys), file_sets)) << "round " << round << ":\n"
                                                                 << Sandbox::Read(status);
    EXPECT_TRUE(IsWholeSet(Only(results, kDataKeys), data_sets)) << "round " << round << ":\n"
                                                                 << Sandbox::Read(status);
    // At most the one replacement file of the status file.
    const std::vector<std::string> stray = StrayNames(box);
    EXPECT_LE(stray.size(), 1u) << "round " << round;
    for (const std::string& name : stray) EXPECT_EQ(name, ".status.ini.velto-tmp");
    rounds_with_leftover += stray.empty() ? 0 : 1;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << rounds * kWriters << " writers killed in " << seconds << " s; " << rounds_with_leftover
            << " rounds left a replacement file\n";
  EXPECT_LT(seconds, 30.0);

  // One more call: the results of its target, and no file left behind.
  ASSERT_EQ(GetStatus(targets[0].path.c_str(), status.c_str()), 0);
  std::string fault;
  const Results results = ResultLines(Sandbox::Read(status), fault);
  ASSERT_EQ(fault, "");
  EXPECT_EQ(Only(results, kFileKeys), targets[0].file_results);
  EXPECT_EQ(Only(results, kDataKeys), targets[0].data_results);
  EXPECT_EQ(StrayNames(box), std::vector<std::string>{});
}

}  // namespace
}  // namespace velto::testing
