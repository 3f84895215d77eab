// SPDX-License-Identifier: MIT
#include "insert.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace zavevuv {

bool CanInsert(int fd) {
  // Not in every linux/magic.h.
  constexpr unsigned long kFuse = 0x65735546;
  constexpr unsigned long kExfat = 0x2011BAB0;
  constexpr unsigned long kNtfs = 0x5346544e;
  constexpr unsigned long kCifs = 0xFF534D42;
  constexpr unsigned long kSmb2 = 0xFE534D42;
  constexpr unsigned long kZfs = 0x2FC12FC1;
  struct statfs fs {};
  if (::fstatfs(fd, &fs) != 0) {
    return true;  // not known: the insert itself tells
  }
  int flags = 0;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC:  // ext2 and ext3 too: only a file mapped by extents can shift
      return ::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 || (flags & FS_EXTENT_FL) != 0;
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case NFS_SUPER_MAGIC:
    case MSDOS_SUPER_MAGIC:
    case kFuse:
    case kExfat:
    case kNtfs:
    case kCifs:
    case kSmb2:
    case kZfs:
      return false;
    default:
      return true;  // XFS, f2fs, overlayfs over them, or one not known here
  }
}

namespace {

// Room for the block at the start of the file, inserted where the file
// system can; its size, or nothing (the intent removed) where it cannot.
std::optional<std::uint64_t> Insert(const Fd& out, const Hold& hold, Intent intent) {
  const bool rebuild = intent.partial.has_value();
  for (;;) {
    if (!WriteIntent(out.get(), intent) || !hold.StillLeased()) {
      RemoveIntent(out.get(),
                   rebuild);  // no insert where the intent cannot be kept, or the lease went
      return std::nullopt;
    }
    if (::fallocate(out.get(), FALLOC_FL_INSERT_RANGE, 0, static_cast<off_t>(intent.b)) == 0) {
      return intent.b;
    }
    if (errno != EINVAL || intent.b >= kMaxBlock) {
      RemoveIntent(out.get(), rebuild);
      return std::nullopt;  // EOPNOTSUPP: this file system cannot insert; ENOSPC
    }
    intent.b *= 2;
  }
}

// Whether the file's first `b` bytes are still the block this run inserted,
// with the file going on after it: a hole, or zeros once `allocated`. Another
// process that truncated and wrote the file once our lease was gone left
// data there instead.
bool OursAtStart(int fd, std::uint64_t b, bool allocated) {
  const off_t data = ::lseek(fd, 0, SEEK_DATA);
  if (data < 0) {
    return false;  // nothing after it: not the file we inserted into
  }
  if (!allocated) {
    return static_cast<std::uint64_t>(data) >= b;
  }
  std::vector<unsigned char> start(b);
  return ReadAt(fd, start, 0) == b &&
         std::ranges::all_of(start, [](unsigned char c) { return c == 0; });
}

// The lease went after the block was inserted: the process it let in has
// the file. The block is taken out again at once, where it is still ours,
// so that process's file stays as it writes it; else the intent stays for
// the next run to judge.
Room Retract(const Fd& out, std::uint64_t b, bool allocated, bool rebuild) {
  if (OursAtStart(out.get(), b, allocated) &&
      ::fallocate(out.get(), FALLOC_FL_COLLAPSE_RANGE, 0, static_cast<off_t>(b)) == 0 &&
      ::fsync(out.get()) == 0) {
    RemoveIntent(out.get(), rebuild);
  }
  return Room::Lost;
}

}  // namespace

Room MakeRoom(const Fd& out, const Hold& hold, std::uint64_t length, blksize_t blockSize,
              std::optional<std::uint64_t> partial, const Fill& fill) {
  const auto holes = Holes(out.get(), length, kMaxHoles);
  if (!holes) {
    return Room::NotPossible;  // too many holes to tell a cut-off shift's from
  }
  const bool rebuild = partial.has_value();
  // The file system's block size; doubled where the insert wants more (ext4
  // with bigalloc needs its cluster size, which neither stat nor statfs tell).
  const auto b = Insert(
      out, hold,
      {std::clamp<std::uint64_t>(static_cast<std::uint64_t>(blockSize), kMinBlock, kMaxBlock),
       length, *holes, partial});
  if (!b) {
    return hold.StillLeased() ? Room::NotPossible : Room::Lost;
  }
  if (!hold.StillLeased()) {
    return Retract(out, *b, false, rebuild);
  }
  // The new block is a hole; on a full disk its content could not be
  // written, and the file would start with zeros that no reader takes.
  if (::fallocate(out.get(), 0, 0, static_cast<off_t>(*b)) != 0) {
    if (!hold.StillLeased()) {
      return Retract(out, *b, false, rebuild);
    }
    if (::fallocate(out.get(), FALLOC_FL_COLLAPSE_RANGE, 0, static_cast<off_t>(*b)) != 0 ||
        ::fsync(out.get()) != 0) {
      return Room::Failed;
    }
    RemoveIntent(out.get(), rebuild);
    return Room::NotPossible;
  }
  if (!hold.StillLeased()) {
    return Retract(out, *b, true, rebuild);
  }
  if (!fill(*b)) {
    return Room::Failed;  // the intent stays: the next run writes the block's content
  }
  RemoveIntent(out.get(), rebuild);
  return hold.StillLeased() ? Room::Made : Room::Lost;
}

Fill HeadBlockFill(const Fd& out, const Upgrade& upgrade) {
  return [&out, upgrade](std::uint64_t b) {
    return WriteAt(out.get(), HeadBlock(upgrade, b), 0) && ::fsync(out.get()) == 0;
  };
}

}  // namespace zavevuv
