#include "support/unprivileged.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <system_error>

namespace velto::testing {
namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

bool GiveTreeToNobody(const std::filesystem::path& root) {
  std::error_code error;
  bool given = lchown(root.c_str(), kNobody, kNogroup) == 0;
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    given = lchown(it->path().c_str(), kNobody, kNogroup) == 0 && given;
  }
  return given && !error;
}

}  // namespace

std::optional<int> RunUnprivileged(const std::filesystem::path& root,
                                   const std::function<int()>& body) {
  if (geteuid() != 0) return body();
  const pid_t child = fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    if (!GiveTreeToNobody(root) || setgroups(0, nullptr) != 0 || setgid(kNogroup) != 0 || setuid(kNobody) != 0) _exit(126);
    _exit(body() & 0xFF);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return std::nullopt;
  return static_cast<signed char>(WEXITSTATUS(status));
}

}  // namespace velto::testing
