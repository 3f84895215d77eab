// SPDX-License-Identifier: MIT
// Room for ds64 made at the start of a file past 4 GiB: a block inserted with
// FALLOC_FL_INSERT_RANGE under a write lease, the intent recorded first as an
// extended attribute so that a job cut off part-way can be finished.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>

#include "fd.h"
#include "head_block.h"
#include "plan.h"

namespace zavevuv {

// What an insert cut off part-way left on the file: its block size and the
// file's length before it.
struct Intent {
  std::uint64_t b = 0;
  std::uint64_t oldLength = 0;
};
std::optional<Intent> ReadIntent(int fd);
void RemoveIntent(int fd);

enum class Room {
  Made,         // the head block is in place and synced: the file is RF64
  NotPossible,  // no lease, no attribute or no insert here: the file is as it was
  Failed,       // the head block could not be written: the next run completes it
};

// Inserts a block at the start of the file open as `out` (its only open
// descriptor) of `length` bytes and writes the head block there.
Room MakeRoom(const Fd& out, const Upgrade& upgrade, std::uint64_t length, blksize_t blockSize);

// Where an insert's shift was cut off part-way (the length grown by B, a hole
// of B bytes in the audio, the old header still at 0), takes the hole out
// again. Closes file.fd before the lease is taken.
enum class Shift {
  TakenBack,  // the file is as it was before the insert: look at it anew
  NeverMade,  // the length never grew: the intent is gone, go on
  Left,       // nothing matches the intent: the file is left as it is
};
Shift TakeBackShift(RegularFile& file, const char* path, const Intent& intent);

// What an intent left on the file asks before anything is written. Only
// where the plan says a cut-off insert may have left one is it read.
struct Settled {
  enum Step {
    GoOn,       // none, or a stale one now gone: go on with the plan
    LookAgain,  // a cut-off shift was taken back: look at the file anew
    Leave,      // nothing matches the intent: the file is left as it is
  } step = GoOn;
  std::optional<Intent> intent;  // still on the file, for Insert::Finish to remove
};
Settled SettleIntent(RegularFile& file, const char* path, const Plan& plan);

}  // namespace zavevuv
