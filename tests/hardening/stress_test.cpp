// Many measurements at once: processes and threads call GetStatus on
// different targets, some sharing one status file and some with a status
// file of their own, for a bounded time (VELTO_STRESS_SECONDS, 2 seconds by
// default). Afterwards every status file still holds the host's text and
// settings unchanged, a file of its own holds the complete results of its
// last run, the shared file holds in every result key a value that some run
// wrote, and no temporary file is left anywhere. Meanwhile two more threads
// make the first time conversions of the process at the same moment.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/sandbox.h"
#include "text_shapes.h"
#include "velto.h"

namespace velto::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kChildProcesses = 2;
constexpr int kThreadsPerChild = 3;

// The host's part of every status file: a comment, a section of its own and
// the settings. The library adds its result keys after the settings.
const std::string kHostText =
    "; measured by the stress test\n"
    "[Host]\n"
    "Window=3\n"
    "\n"
    "[GetStatus]\n"
    "LineLength=20\n"
    "PageLength=3\n";

const std::set<std::string> kResultKeys = {"Name",           "TimeStamp", "Size",
                                           "CRLF",           "NoCRLF",    "NoCRLF_NoBLANK",
                                           "LineCount",      "PageCount", "ModCount"};

// A target of `lines` lines of "abcあ 　x" and a line feed: 10 bytes and 8
// characters a line, two of them blanks, each line one display line; the
// empty line after the last line feed is one more.
struct Target {
  int lines;
  std::string name;
  std::string path;

  std::map<std::string, std::string> Results() const {
    const int display_lines = lines + 1;
    return {{"Name", name},
            {"Size", std::to_string(10 * lines)},
            {"CRLF", std::to_string(8 * lines)},
            {"NoCRLF", std::to_string(7 * lines)},
            {"NoCRLF_NoBLANK", std::to_string(5 * lines)},
            {"LineCount", std::to_string(display_lines)},
            {"PageCount", std::to_string((display_lines + 2) / 3)},
            {"ModCount", std::to_string(display_lines % 3)}};
  }
};

std::vector<Target> MakeTargets(const Sandbox& box) {
  std::vector<Target> targets;
  for (const int lines : {1, 2, 5, 11}) {
    std::string text;
    for (int i = 0; i < lines; ++i) text += "abc\x82\xa0 \x81\x40x\n";
    const std::string name = "target" + std::to_string(lines) + ".txt";
    targets.push_back({lines, name, box.Write(name, text)});
  }
  return targets;
}

std::chrono::milliseconds StressDuration() {
  const char* seconds = std::getenv("VELTO_STRESS_SECONDS");
  const double value = seconds != nullptr ? std::atof(seconds) : 0.0;
  return std::chrono::milliseconds(value > 0 ? static_cast<long long>(value * 1000) : 2000);
}

// One measuring thread: cycles through the targets from `first` until the
// deadline, then measures target `first` once more, so that a file of its
// own ends with that target's results. Returns the calls that failed.
int Measure(const std::vector<Target>& targets, const std::string& status, std::size_t first,
            Clock::time_point deadline) {
  int failures = 0;
  for (std::size_t i = 0; Clock::now() < deadline; ++i) {
    const Target& target = targets[(first + i) % targets.size()];
    if (GetStatus(target.path.c_str(), status.c_str()) != 0) ++failures;
  }
  if (GetStatus(targets[first % targets.size()].path.c_str(), status.c_str()) != 0) ++failures;
  return failures;
}

struct Job {
  std::string status;
  std::size_t first_target;
};

// Runs the jobs on threads of their own; the failed calls of all of them.
int RunJobs(const std::vector<Target>& targets, const std::vector<Job>& jobs,
            Clock::time_point deadline) {
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (const Job& job : jobs) {
    threads.emplace_back(
        [&, job] { failures += Measure(targets, job.status, job.first_target, deadline); });
  }
  for (std::thread& thread : threads) thread.join();
  return failures;
}

std::string OwnStatusName(int process, int thread) {
  return "own-" + std::to_string(process) + "-" + std::to_string(thread) + ".ini";
}

// The jobs of one process: even threads write a file of their own, odd
// threads the shared one.
std::vector<Job> JobsOf(const Sandbox& box, int process, int threads, const std::string& shared) {
  std::vector<Job> jobs;
  for (int thread = 0; thread < threads; ++thread) {
    const auto first = static_cast<std::size_t>(process * threads + thread);
    jobs.push_back({thread % 2 == 0 ? box.Path(OwnStatusName(process, thread)) : shared, first});
  }
  return jobs;
}

// The first time conversions of this process, one per export, at once; the
// results are checked as far as they do not depend on the zone.
bool ConvertTimesTogether(Clock::time_point deadline) {
  std::atomic<bool> ok{true};
  std::thread to_local([&] {
    while (Clock::now() < deadline) {
      const std::string text = AdjustEpochDateTimeToLocal("1196394844", "%Y%m%d");
      if (text.size() != 8 || text.compare(0, 6, "200711") != 0) ok = false;
    }
  });
  std::thread to_epoch([&] {
    while (Clock::now() < deadline) {
      const std::string text = AdjustLocalDateTimeToEpoch("20071130125404");
      if (text.size() != 10 || text.compare(0, 3, "119") != 0) ok = false;
    }
  });
  to_local.join();
  to_epoch.join();
  return ok;
}

// Splits a status file into the host's text and the key lines after it.
std::map<std::string, std::string> ResultLines(const std::string& text, std::string& fault) {
  std::map<std::string, std::string> results;
  if (text.compare(0, kHostText.size(), kHostText) != 0) {
    fault = "the host's text or settings changed";
    return results;
  }
  std::istringstream rest(text.substr(kHostText.size()));
  for (std::string line; std::getline(rest, line);) {
    const std::size_t equals = line.find('=');
    const std::string key = line.substr(0, equals);
    if (equals == std::string::npos || kResultKeys.count(key) == 0 || results.count(key) != 0) {
      fault = "an unexpected line after the settings: " + line;
      return results;
    }
    results[key] = line.substr(equals + 1);
  }
  if (results.size() != kResultKeys.size()) fault = "a result key is missing";
  return results;
}

TEST(Stress, ProcessesAndThreadsMeasuringTogether) {
  Sandbox box;
  const std::vector<Target> targets = MakeTargets(box);
  const std::string shared = box.Write("shared.ini", kHostText);
  std::vector<std::string> own_files;
  for (int process = 0; process <= kChildProcesses; ++process) {
    const int threads = process < kChildProcesses ? kThreadsPerChild : 2;
    for (int thread = 0; thread < threads; thread += 2) {
      own_files.push_back(box.Write(OwnStatusName(process, thread), kHostText));
    }
  }

  const Clock::time_point deadline = Clock::now() + StressDuration();
  // The children are forked before any thread exists here.
  std::vector<pid_t> children;
  for (int process = 0; process < kChildProcesses; ++process) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const int failures = RunJobs(targets, JobsOf(box, process, kThreadsPerChild, shared), deadline);
      _exit(failures > 100 ? 100 : failures);
    }
    children.push_back(child);
  }
  // This process measures too (process number kChildProcesses, two
  // threads), while two more threads convert times.
  std::atomic<bool> times_ok{false};
  std::thread times([&] { times_ok = ConvertTimesTogether(deadline); });
  EXPECT_EQ(RunJobs(targets, JobsOf(box, kChildProcesses, 2, shared), deadline), 0)
      << "calls failed in this process";
  times.join();
  EXPECT_TRUE(times_ok) << "a time conversion gave a wrong result";
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "a child process did not end normally";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "calls failed in a child process";
  }

  // A file of its own: exactly the results of its last target.
  for (const std::string& path : own_files) {
    std::string fault;
    std::map<std::string, std::string> results = ResultLines(Sandbox::Read(path), fault);
    ASSERT_EQ(fault, "") << path;
    EXPECT_TRUE(IsTimeStamp(results["TimeStamp"])) << results["TimeStamp"];
    results.erase("TimeStamp");
    const std::string name = fs::path(path).filename().string();
    const int process = name[4] - '0';
    const int thread = name[6] - '0';
    const int threads = process < kChildProcesses ? kThreadsPerChild : 2;
    const auto first = static_cast<std::size_t>(process * threads + thread);
    EXPECT_EQ(results, targets[first % targets.size()].Results()) << path;
  }
  // The shared file: every key holds what one of the runs wrote.
  {
    std::string fault;
    const std::map<std::string, std::string> results = ResultLines(Sandbox::Read(shared), fault);
    ASSERT_EQ(fault, "");
    EXPECT_TRUE(IsTimeStamp(results.at("TimeStamp"))) << results.at("TimeStamp");
    for (const auto& [key, value] : results) {
      if (key == "TimeStamp") continue;
      bool written_by_a_run = false;
      for (const Target& target : targets) written_by_a_run |= target.Results().at(key) == value;
      EXPECT_TRUE(written_by_a_run) << key << "=" << value;
    }
  }
  // Nothing but the targets and the status files.
  std::size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(box.root())) {
    ++entries;
    EXPECT_EQ(entry.path().filename().string().find(".velto-"), std::string::npos)
        << "a temporary file was left: " << entry.path();
  }
  EXPECT_EQ(entries, targets.size() + own_files.size() + 1);
}

}  // namespace
}  // namespace velto::testing
