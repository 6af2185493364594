// File permissions do not bind root. Tests that need a refusal by
// permission run their check as an ordinary user in a child process.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>

namespace velto::testing {

// Runs body with permissions that apply: directly for an ordinary user; as
// root, in a child process that first hands the folder tree at root to the
// user "nobody" (uid and gid 65534) and then becomes that user. Returns
// body's result (-128 to 127), or nullopt when the child did not end
// normally.
std::optional<int> RunUnprivileged(const std::filesystem::path& root,
                                   const std::function<int()>& body);

}  // namespace velto::testing
