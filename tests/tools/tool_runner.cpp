#include "tool_runner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

extern char** environ;

namespace velto::testing {
namespace {

int OpenOrDie(const std::string& path, int flags) {
  const int fd = open(path.c_str(), flags | O_CLOEXEC, 0600);
  if (fd < 0) _exit(127);
  return fd;
}

}  // namespace

ToolRun RunProgram(const Sandbox& sandbox, const std::string& program, const ToolCall& call) {
  const std::string in_path = sandbox.Write(".tool-stdin", call.input);
  const std::string out_path = sandbox.Path(".tool-stdout");
  const std::string err_path = sandbox.Path(".tool-stderr");

  // Everything the child needs is built before fork: after it only
  // async-signal-safe calls are made.
  std::vector<std::string> arg_text{program};
  arg_text.insert(arg_text.end(), call.args.begin(), call.args.end());
  std::vector<char*> argv;
  for (std::string& arg : arg_text) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry(*e);
    const std::string_view name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& extra : call.extra_env) replaced = replaced || extra.starts_with(name);
    if (!replaced) env_text.emplace_back(entry);
  }
  env_text.insert(env_text.end(), call.extra_env.begin(), call.extra_env.end());
  std::vector<char*> envp;
  for (std::string& entry : env_text) envp.push_back(entry.data());
  envp.push_back(nullptr);
  const std::string root = sandbox.root().string();

  // A pipe whose reading end is closed at once: the first write fails with
  // SIGPIPE, as when the output goes to a pager that has quit.
  int broken[2] = {-1, -1};
  if (call.broken_stdout && pipe(broken) != 0) throw std::runtime_error("pipe failed");
  if (call.broken_stdout) close(broken[0]);

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(OpenOrDie(in_path, O_RDONLY), STDIN_FILENO);
    dup2(call.broken_stdout ? broken[1] : OpenOrDie(out_path, O_WRONLY | O_CREAT | O_TRUNC),
         STDOUT_FILENO);
    dup2(OpenOrDie(err_path, O_WRONLY | O_CREAT | O_TRUNC), STDERR_FILENO);
    if (chdir(root.c_str()) != 0) _exit(127);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  if (call.broken_stdout) close(broken[1]);
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) break;
  }
  ToolRun run;
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  run.peak_memory_kib = usage.ru_maxrss;
  run.out = Sandbox::Read(out_path);
  run.err = Sandbox::Read(err_path);
  return run;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace velto::testing
