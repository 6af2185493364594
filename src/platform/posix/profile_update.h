// How a profile update puts the new text in place, for the tests and the
// benchmark that compare the ways; UpdateProfileValues uses the one in
// force, kRename unless changed. Each way keeps the update atomic for
// readers and for a process killed at any moment; they differ in what a
// power loss can do and in cost (README, "Durability").
#pragma once

#include <span>

#include "platform/profile.h"

namespace velto::platform {

enum class Replacement {
  // A rename over the old file. Where the file system flushes a file that
  // is renamed over another before the rename is committed (ext4's
  // auto_da_alloc, btrfs), a power loss leaves the old or the new text.
  kRename,
  // The new file's data flushed to the disk (fdatasync) before the rename:
  // the old or the new text after a power loss on every file system.
  kSyncThenRename,
  // The two names exchanged (Linux's renameat2), the old text then removed
  // under the new file's name; a rename where the exchange is not
  // supported. The cheapest way, but a file system does not flush a file
  // put in place this way: a power loss can leave the status file empty.
  kExchange,
  // fdatasync, then the exchange.
  kSyncThenExchange,
};

// The way UpdateProfileValues takes, for every thread; returns the way
// that was in force.
Replacement SetReplacement(Replacement replacement);

bool UpdateProfileValuesBy(Replacement replacement, const char* path, const char* section,
                           std::span<const ProfileEntry> entries);

}  // namespace velto::platform
