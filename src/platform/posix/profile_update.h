// How a profile update puts the new text in place. Exchanging the names of
// the old and the new file needs Linux's renameat2; a rename over the old
// file works on every POSIX system and is what the update falls back to.
// Tests run the update both ways.
#pragma once

#include <span>

#include "platform/profile.h"

namespace velto::platform {

enum class Replacement {
  kExchangeWherePossible,  // the exchange, else a rename
  kRename,                 // a rename only
};

bool UpdateProfileValuesBy(Replacement replacement, const char* path, const char* section,
                           std::span<const ProfileEntry> entries);

}  // namespace velto::platform
