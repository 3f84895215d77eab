// SPDX-License-Identifier: MIT
// Room made at the start of a file: for ds64 in a file past 4 GiB, or for the
// head of a file whose head was cut away. A block inserted with
// FALLOC_FL_INSERT_RANGE under a write lease, the intent recorded first as an
// extended attribute so that a job cut off part-way can be finished.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <optional>

#include "fd.h"
#include "head_block.h"
#include "hold.h"
#include "intent.h"

namespace zavevuv {

enum class Room {
  Made,         // the block's content is in place and synced
  NotPossible,  // no attribute, too many holes, no insert here or no space
                // for the block: the file is as it was
  Failed,       // its content could not be written: the next run completes it
  Lost,         // the lease went before a step: nothing more was written, and
                // a block inserted already taken out again where still ours
};

// Whether the file system of the file open as `fd` may insert a block
// (FALLOC_FL_INSERT_RANGE): not those known to refuse (tmpfs, ramfs, btrfs,
// NFS, SMB, FUSE, FAT, exFAT, NTFS, ZFS, and ext4 for a file without
// extents), where an insert would only open the file for writing, lease it
// and set an attribute, to fail. Any other (XFS, overlayfs over ext4) tries.
bool CanInsert(int fd);

// What goes in the block once inserted, given its size B: written and
// synced, or false.
using Fill = std::function<bool(std::uint64_t b)>;

// Inserts a block at the start of the file open as `out`, of `length` bytes,
// allocates it and has `fill` write it: the intent records `partial` where
// it is a rebuild's. A block that cannot be allocated (a full disk) is taken
// out again. Each step is taken only while `hold` keeps the file's lease.
Room MakeRoom(const Fd& out, const Hold& hold, std::uint64_t length, blksize_t blockSize,
              std::optional<std::uint64_t> partial, const Fill& fill);

// The upgrade's fill: the RF64 head block.
Fill HeadBlockFill(const Fd& out, const Upgrade& upgrade);

}  // namespace zavevuv
