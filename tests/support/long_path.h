// Paths of an exact length, for the 259-byte limit of every path the
// library keeps.
#pragma once

#include <cstddef>
#include <string>

#include "support/sandbox.h"

namespace velto::testing {

// A path of exactly length bytes inside the sandbox whose folders exist
// (the last component is not created). length must exceed the sandbox
// root's length by at least 2.
std::string PathOfLength(const Sandbox& box, std::size_t length);

}  // namespace velto::testing
