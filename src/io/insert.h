// SPDX-License-Identifier: MIT
// Room for ds64 made at the start of a file past 4 GiB: a block inserted with
// FALLOC_FL_INSERT_RANGE under a write lease, the intent recorded first as an
// extended attribute so that a job cut off part-way can be finished.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "fd.h"
#include "head_block.h"
#include "hold.h"

namespace zavevuv {

// A run of the file that is a hole (SEEK_HOLE to SEEK_DATA).
struct Hole {
  std::uint64_t at = 0;
  std::uint64_t length = 0;
  bool operator==(const Hole&) const = default;
};

// What an insert records before it starts: its block size, the file's length
// and its holes, so that a shift cut off part-way can be told from a hole of
// the file's own.
struct Intent {
  std::uint64_t b = 0;
  std::uint64_t oldLength = 0;
  std::vector<Hole> holes;
};

// The intent on the file, if any. Only "no such attribute" (or none on this
// file system) means none; any other error, or a value that is not ours,
// means the file cannot be judged.
struct IntentRead {
  enum { None, Found, Failed } state = None;
  Intent intent;
};
IntentRead ReadIntent(int fd);
void RemoveIntent(int fd);

enum class Room {
  Made,         // the head block is in place and synced: the file is RF64
  NotPossible,  // no attribute, too many holes, no insert here or no space
                // for the block: the file is as it was
  Failed,       // the head block could not be written: the next run completes it
  Lost,         // the lease went before a step: nothing more was written, and
                // a block inserted already taken out again where still ours
};

// Whether the file system of the file open as `fd` may insert a block
// (FALLOC_FL_INSERT_RANGE): not those known to refuse (tmpfs, ramfs, btrfs,
// NFS, SMB, FUSE, FAT, exFAT, NTFS, ZFS, and ext4 for a file without
// extents), where an insert would only open the file for writing, lease it
// and set an attribute, to fail. Any other (XFS, overlayfs over ext4) tries.
bool CanInsert(int fd);

// Inserts a block at the start of the file open as `out`, of `length` bytes,
// allocates it and writes the head block there. A block that cannot be
// allocated (a full disk) is taken out again. Each step is taken only while
// `hold` keeps the file's lease.
Room MakeRoom(const Fd& out, const Hold& hold, const Upgrade& upgrade, std::uint64_t length,
              blksize_t blockSize);

// Where an insert's shift was cut off part-way (the length grown by B, a hole
// of B bytes in the audio, the old header still at 0), takes the hole out
// again. The caller holds the file's lease.
enum class Shift {
  TakenBack,  // the file is as it was before the insert: look at it anew
  NeverMade,  // the holes are as recorded: the intent is gone, go on
  Left,       // nothing matches the intent: the file is left as it is
};
Shift TakeBackShift(const Fd& out, std::uint64_t length, const Intent& intent);

}  // namespace zavevuv
