#include "child_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace velto::testing {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(5);

// Waits for child until deadline; kills its group when it is still running.
std::optional<int> WaitWithDeadline(pid_t child, std::chrono::milliseconds deadline) {
  const auto until = std::chrono::steady_clock::now() + deadline;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (done < 0) return std::nullopt;
    if (std::chrono::steady_clock::now() >= until) {
      kill(-child, SIGKILL);
      waitpid(child, &status, 0);
      return std::nullopt;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  if (!WIFEXITED(status)) return std::nullopt;
  return static_cast<signed char>(WEXITSTATUS(status));
}

std::vector<std::string> EnvironmentWith(const std::map<std::string, std::string>& extra) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    const std::string name(*entry, equals == nullptr ? std::strlen(*entry)
                                                     : static_cast<std::size_t>(equals - *entry));
    if (extra.count(name) == 0) entries.emplace_back(*entry);
  }
  for (const auto& [name, value] : extra) entries.push_back(name + "=" + value);
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

std::optional<int> RunWithDeadline(const std::function<int()>& body,
                                   std::chrono::milliseconds deadline) {
  const pid_t child = fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    setpgid(0, 0);
    _exit(body() & 0xFF);
  }
  setpgid(child, child);  // also here, so the group exists before any kill
  return WaitWithDeadline(child, deadline);
}

SelfRun RunSelf(const std::vector<std::string>& arguments,
                const std::map<std::string, std::string>& environment) {
  std::vector<std::string> argv_strings{"/proc/self/exe"};
  argv_strings.insert(argv_strings.end(), arguments.begin(), arguments.end());
  std::vector<std::string> env_strings = EnvironmentWith(environment);
  // Built before fork: the child only calls async-signal-safe functions.
  const std::vector<char*> argv = Pointers(argv_strings);
  const std::vector<char*> envp = Pointers(env_strings);

  SelfRun run;
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return run;
  const pid_t child = fork();
  if (child < 0) {
    close(pipe_ends[0]);
    close(pipe_ends[1]);
    return run;
  }
  if (child == 0) {
    dup2(pipe_ends[1], STDOUT_FILENO);
    dup2(pipe_ends[1], STDERR_FILENO);
    close(pipe_ends[0]);
    close(pipe_ends[1]);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(pipe_ends[1]);
  std::array<char, 4096> chunk{};
  for (ssize_t count = 0; (count = read(pipe_ends[0], chunk.data(), chunk.size())) != 0;) {
    if (count < 0) {
      if (errno == EINTR) continue;
      break;
    }
    run.output.append(chunk.data(), static_cast<std::size_t>(count));
  }
  close(pipe_ends[0]);
  int status = 0;
  if (waitpid(child, &status, 0) == child && WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  return run;
}

}  // namespace velto::testing
