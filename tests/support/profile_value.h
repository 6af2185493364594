// One key written through the platform's profile service, as one update:
// the form most tests of the service want.
#pragma once

#include "platform/profile.h"

namespace velto::testing {

inline bool UpdateProfileValue(const char* path, const char* section, const char* key,
                               const char* value) {
  const platform::ProfileEntry entry{key, value};
  return platform::UpdateProfileValues(path, section, {&entry, 1});
}

}  // namespace velto::testing
