// Child processes for the hardening tests: a call that might block or
// crash runs in a child with a deadline, and a test that needs a different
// environment at load time (TZ) runs in a fresh copy of this program.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velto::testing {

// Runs body in a child process (a process group of its own, so that
// grandchildren go with it) and waits at most deadline. body's result must
// fit -128..127. nullopt when the child did not end normally in time; it is
// then killed.
std::optional<int> RunWithDeadline(const std::function<int()>& body,
                                   std::chrono::milliseconds deadline);

struct SelfRun {
  int exit_code = -1;  // -1 when the program did not end normally
  std::string output;  // standard output and error together
};

// Runs this test program again with the given arguments and with extra
// variables added to (or replacing those of) its environment.
SelfRun RunSelf(const std::vector<std::string>& arguments,
                const std::map<std::string, std::string>& environment);

}  // namespace velto::testing
