// SPDX-License-Identifier: MIT
#include "insert.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <string>
#include <string_view>
#include <utility>

namespace zavevuv {
namespace {

// "B OLDLENGTH" and " AT+LENGTH" for each hole.
constexpr const char* kIntentName = "user.zavevuv_32uvo.insert";
constexpr std::size_t kMaxHoles = 32;  // a file with more is never inserted into

// The file's holes, in order; nothing on an error or past `most` of them.
std::optional<std::vector<Hole>> Holes(int fd, std::uint64_t length, std::size_t most) {
  std::vector<Hole> holes;
  for (std::uint64_t at = 0; at < length;) {
    const off_t start = ::lseek(fd, static_cast<off_t>(at), SEEK_HOLE);
    if (start < 0) {
      return std::nullopt;
    }
    if (static_cast<std::uint64_t>(start) >= length) {
      break;
    }
    const off_t next = ::lseek(fd, start, SEEK_DATA);
    if (next < 0 && errno != ENXIO) {
      return std::nullopt;
    }
    const std::uint64_t end = next < 0 ? length : static_cast<std::uint64_t>(next);
    holes.push_back({static_cast<std::uint64_t>(start), end - static_cast<std::uint64_t>(start)});
    if (holes.size() > most) {
      return std::nullopt;
    }
    at = end;
  }
  return holes;
}

// The intent, written and synced before the insert, so that a cut-off shift
// is known afterwards: nothing in the header can show it.
bool WriteIntent(int fd, const Intent& intent) {
  std::string value = std::to_string(intent.b) + " " + std::to_string(intent.oldLength);
  for (const Hole& hole : intent.holes) {
    value += " " + std::to_string(hole.at) + "+" + std::to_string(hole.length);
  }
  return ::fsetxattr(fd, kIntentName, value.data(), value.size(), 0) == 0 && ::fsync(fd) == 0;
}

// A number and what follows it, or nothing.
std::optional<std::uint64_t> Number(std::string_view& text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end == text.data()) {
    return std::nullopt;
  }
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return value;
}

// "N" `separator` "M" at the start of `text`, taken off it.
std::optional<std::pair<std::uint64_t, std::uint64_t>> Pair(std::string_view& text,
                                                            char separator) {
  const auto first = Number(text);
  if (!first || !text.starts_with(separator)) {
    return std::nullopt;
  }
  text.remove_prefix(1);
  const auto second = Number(text);
  return second ? std::optional(std::pair(*first, *second)) : std::nullopt;
}

std::optional<Intent> ParseIntent(std::string_view text) {
  const auto lengths = Pair(text, ' ');
  if (!lengths) {
    return std::nullopt;
  }
  Intent intent{lengths->first, lengths->second, {}};
  while (text.starts_with(' ') && intent.holes.size() <= kMaxHoles) {
    text.remove_prefix(1);
    const auto hole = Pair(text, '+');
    if (!hole) {
      return std::nullopt;
    }
    intent.holes.push_back({hole->first, hole->second});
  }
  return text.empty() ? std::optional(intent) : std::nullopt;
}

// The holes a shift cut off at `cut` would leave of `before`: those after it
// moved on by `b`, a new one of `b` bytes at it, neighbours merged.
std::vector<Hole> ShiftedAt(const std::vector<Hole>& before, std::uint64_t cut, std::uint64_t b) {
  std::vector<Hole> after{{cut, b}};
  for (const Hole& hole : before) {
    after.push_back(hole.at >= cut ? Hole{hole.at + b, hole.length} : hole);
  }
  std::ranges::sort(after, {}, &Hole::at);
  std::vector<Hole> merged;
  for (const Hole& hole : after) {
    if (!merged.empty() && merged.back().at + merged.back().length == hole.at) {
      merged.back().length += hole.length;
    } else {
      merged.push_back(hole);
    }
  }
  return merged;
}

// Where the cut-off shift's hole is: the start of the one hole of `now` that
// a shift cut off within it explains, when exactly one does.
std::optional<std::uint64_t> ShiftedHole(const std::vector<Hole>& now, const Intent& intent) {
  std::optional<std::uint64_t> found;
  for (const Hole& hole : now) {
    if (hole.length < intent.b) {
      continue;
    }
    // The new block at the hole's start, or at its end where it merged with a
    // hole of the file's own before it.
    for (const std::uint64_t cut : {hole.at, hole.at + hole.length - intent.b}) {
      const bool inside = std::ranges::any_of(
          intent.holes, [&](const Hole& old) { return old.at < cut && cut < old.at + old.length; });
      if (!inside && ShiftedAt(intent.holes, cut, intent.b) == now) {
        if (found && *found != hole.at) {
          return std::nullopt;  // two holes would do: no telling which
        }
        found = hole.at;
      }
    }
  }
  return found;
}

}  // namespace

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

IntentRead ReadIntent(int fd) {
  std::array<char, 2048> value{};
  const ssize_t got = ::fgetxattr(fd, kIntentName, value.data(), value.size());
  if (got < 0) {
    // No attribute, or a file system without user attributes: no insert was
    // ever made here. Anything else (EIO, a value too long) is not known.
    return {errno == ENODATA || errno == ENOTSUP ? IntentRead::None : IntentRead::Failed, {}};
  }
  const auto intent = ParseIntent({value.data(), static_cast<std::size_t>(got)});
  return intent ? IntentRead{IntentRead::Found, *intent} : IntentRead{IntentRead::Failed, {}};
}

void RemoveIntent(int fd) { static_cast<void>(::fremovexattr(fd, kIntentName)); }

namespace {

// Room for the block at the start of the file, inserted where the file
// system can; its size, or nothing (the intent removed) where it cannot.
std::optional<std::uint64_t> Insert(const Fd& out, const Hold& hold, std::uint64_t length,
                                    const std::vector<Hole>& holes, std::uint64_t b) {
  for (;;) {
    if (!WriteIntent(out.get(), {b, length, holes}) || !hold.StillLeased()) {
      RemoveIntent(out.get());  // no insert where the intent cannot be kept, or the lease went
      return std::nullopt;
    }
    if (::fallocate(out.get(), FALLOC_FL_INSERT_RANGE, 0, static_cast<off_t>(b)) == 0) {
      return b;
    }
    if (errno != EINVAL || b >= kMaxBlock) {
      RemoveIntent(out.get());
      return std::nullopt;  // EOPNOTSUPP: this file system cannot insert; ENOSPC
    }
    b *= 2;
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
Room Retract(const Fd& out, std::uint64_t b, bool allocated) {
  if (OursAtStart(out.get(), b, allocated) &&
      ::fallocate(out.get(), FALLOC_FL_COLLAPSE_RANGE, 0, static_cast<off_t>(b)) == 0 &&
      ::fsync(out.get()) == 0) {
    RemoveIntent(out.get());
  }
  return Room::Lost;
}

}  // namespace

Room MakeRoom(const Fd& out, const Hold& hold, const Upgrade& upgrade, std::uint64_t length,
              blksize_t blockSize) {
  const auto holes = Holes(out.get(), length, kMaxHoles);
  if (!holes) {
    return Room::NotPossible;  // too many holes to tell a cut-off shift's from
  }
  // The file system's block size; doubled where the insert wants more (ext4
  // with bigalloc needs its cluster size, which neither stat nor statfs tell).
  const auto b = Insert(
      out, hold, length, *holes,
      std::clamp<std::uint64_t>(static_cast<std::uint64_t>(blockSize), kMinBlock, kMaxBlock));
  if (!b) {
    return hold.StillLeased() ? Room::NotPossible : Room::Lost;
  }
  if (!hold.StillLeased()) {
    return Retract(out, *b, false);
  }
  // The new block is a hole; on a full disk its head block could not be
  // written, and the file would start with zeros that no reader takes.
  if (::fallocate(out.get(), 0, 0, static_cast<off_t>(*b)) != 0) {
    if (!hold.StillLeased()) {
      return Retract(out, *b, false);
    }
    if (::fallocate(out.get(), FALLOC_FL_COLLAPSE_RANGE, 0, static_cast<off_t>(*b)) != 0 ||
        ::fsync(out.get()) != 0) {
      return Room::Failed;
    }
    RemoveIntent(out.get());
    return Room::NotPossible;
  }
  const std::vector<unsigned char> block = HeadBlock(upgrade, *b);
  if (!hold.StillLeased()) {
    return Retract(out, *b, true);
  }
  if (!WriteAt(out.get(), block, 0) || ::fsync(out.get()) != 0) {
    return Room::Failed;  // the intent stays: the next run writes the head block
  }
  RemoveIntent(out.get());
  return hold.StillLeased() ? Room::Made : Room::Lost;
}

Shift TakeBackShift(const Fd& out, std::uint64_t length, const Intent& intent) {
  const auto holes = Holes(out.get(), length, kMaxHoles + 1);
  if (!holes) {
    return Shift::Left;
  }
  if (*holes == intent.holes) {
    RemoveIntent(out.get());  // the insert never happened (the file may have grown since)
    return Shift::NeverMade;
  }
  const auto hole = length == intent.oldLength + intent.b && intent.b % kMinBlock == 0
                        ? ShiftedHole(*holes, intent)
                        : std::nullopt;
  if (!hole ||
      ::fallocate(out.get(), FALLOC_FL_COLLAPSE_RANGE, static_cast<off_t>(*hole),
                  static_cast<off_t>(intent.b)) != 0 ||
      ::fsync(out.get()) != 0) {
    return Shift::Left;
  }
  RemoveIntent(out.get());
  return Shift::TakenBack;
}

}  // namespace zavevuv
