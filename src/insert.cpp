// SPDX-License-Identifier: MIT
#include "insert.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <string>

namespace zavevuv {
namespace {

constexpr const char* kIntentName = "user.zavevuv_32uvo.insert";  // "B OLDLENGTH"
constexpr int kMaxExtents = 1 << 16;  // holes looked at for a cut-off shift

// A write lease: granted only while no other descriptor of the file is open,
// and while it is held another process's open waits. A file still being
// recorded is never shifted under its writer.
class Lease {
 public:
  explicit Lease(int fd) : fd_(fd), held_(::fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {}
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;
  ~Lease() {
    if (held_) {
      static_cast<void>(::fcntl(fd_, F_SETLEASE, F_UNLCK));
    }
  }
  [[nodiscard]] bool Held() const { return held_; }

 private:
  int fd_;
  bool held_;
};

// The intent, written and synced before the insert, so that a cut-off shift
// is known afterwards: nothing in the header can show it.
bool WriteIntent(int fd, const Intent& intent) {
  const std::string value = std::to_string(intent.b) + " " + std::to_string(intent.oldLength);
  return ::fsetxattr(fd, kIntentName, value.data(), value.size(), 0) == 0 && ::fsync(fd) == 0;
}

}  // namespace

std::optional<Intent> ReadIntent(int fd) {
  std::array<char, 64> value{};
  const ssize_t got = ::fgetxattr(fd, kIntentName, value.data(), value.size());
  if (got <= 0) {
    return std::nullopt;
  }
  Intent intent;
  const char* end = value.data() + got;
  const auto first = std::from_chars(value.data(), end, intent.b);
  if (first.ec != std::errc{} || first.ptr == end || *first.ptr != ' ' ||
      std::from_chars(first.ptr + 1, end, intent.oldLength).ptr != end) {
    return std::nullopt;
  }
  return intent;
}

void RemoveIntent(int fd) { static_cast<void>(::fremovexattr(fd, kIntentName)); }

Room MakeRoom(const Fd& out, const Upgrade& upgrade, std::uint64_t length, blksize_t blockSize) {
  const Lease lease(out.get());
  if (!lease.Held()) {
    return Room::NotPossible;  // open elsewhere, not ours to lease, or leases are off
  }
  // The file system's block size; doubled where the insert wants more (ext4
  // with bigalloc needs its cluster size, which neither stat nor statfs tell).
  std::uint64_t b =
      std::clamp<std::uint64_t>(static_cast<std::uint64_t>(blockSize), kMinBlock, kMaxBlock);
  for (;;) {
    if (!WriteIntent(out.get(), {b, length})) {
      RemoveIntent(out.get());
      return Room::NotPossible;  // no insert where the intent cannot be kept
    }
    if (::fallocate(out.get(), FALLOC_FL_INSERT_RANGE, 0, static_cast<off_t>(b)) == 0) {
      break;
    }
    if (errno != EINVAL || b >= kMaxBlock) {
      RemoveIntent(out.get());
      return Room::NotPossible;  // EOPNOTSUPP: this file system cannot insert
    }
    b *= 2;
  }
  const std::vector<unsigned char> block = HeadBlock(upgrade, b);
  if (!WriteAt(out.get(), block, 0) || ::fsync(out.get()) != 0) {
    return Room::Failed;  // the intent stays: the next run writes the head block
  }
  RemoveIntent(out.get());
  return Room::Made;
}

Shift TakeBackShift(RegularFile& file, const char* path, const Intent& intent) {
  const int fd = file.fd.get();
  const auto length = static_cast<std::uint64_t>(file.st.st_size);
  if (length == intent.oldLength) {
    RemoveIntent(fd);  // the insert never happened
    return Shift::NeverMade;
  }
  if (length != intent.oldLength + intent.b || intent.b % kMinBlock != 0) {
    return Shift::Left;  // not the file the intent was written for
  }
  // The hole of exactly B bytes that the cut-off shift left in the audio.
  std::optional<off_t> hole;
  off_t at = 0;
  for (int i = 0; i < kMaxExtents && !hole && static_cast<std::uint64_t>(at) < length; ++i) {
    const off_t start = ::lseek(fd, at, SEEK_HOLE);
    if (start < 0 || static_cast<std::uint64_t>(start) >= length) {
      break;
    }
    off_t next = ::lseek(fd, start, SEEK_DATA);
    next = next < 0 ? static_cast<off_t>(length) : next;
    if (static_cast<std::uint64_t>(next - start) == intent.b) {
      hole = start;
    }
    at = next;
  }
  Fd out = hole ? OpenForWriting(file, path) : Fd();
  if (!out) {
    return Shift::Left;
  }
  static_cast<void>(file.fd.Close());  // only read: the lease wants one descriptor
  const Lease lease(out.get());
  if (!lease.Held() ||
      ::fallocate(out.get(), FALLOC_FL_COLLAPSE_RANGE, *hole, static_cast<off_t>(intent.b)) != 0 ||
      ::fsync(out.get()) != 0) {
    return Shift::Left;
  }
  RemoveIntent(out.get());
  return Shift::TakenBack;
}

Settled SettleIntent(RegularFile& file, const char* path, const Plan& plan) {
  Settled settled;
  settled.intent = plan.mayHaveIntent ? ReadIntent(file.fd.get()) : std::nullopt;
  if (!settled.intent) {
    return settled;
  }
  switch (plan.insert) {
    case Insert::Make:  // the old header at 0: the shift may have been cut off
      switch (TakeBackShift(file, path, *settled.intent)) {
        case Shift::TakenBack:
          settled.step = Settled::LookAgain;
          break;
        case Shift::Left:
          settled.step = Settled::Leave;  // never inserted into twice
          break;
        case Shift::NeverMade:
          break;
      }
      break;
    case Insert::None:
      RemoveIntent(file.fd.get());  // an RF64 file: the insert was finished
      break;
    case Insert::Finish:
      break;  // removed once the head block is written
  }
  return settled;
}

}  // namespace zavevuv
