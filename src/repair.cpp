// SPDX-License-Identifier: MIT
// Checks and repairs one file: the I/O around the decision. The file is
// opened only when it is a regular file we may write, read-only at first:
// its first bytes are read with one pread, and only when the plan changes
// something is it opened for writing, written and synced.
#include <algorithm>
#include <array>

#include "fd.h"
#include "insert.h"
#include "messages.h"
#include "output.h"
#include "plan.h"
#include "writes.h"
#include "zavevuv.h"

namespace zavevuv {
namespace {

// One look at the file: the descriptor, the bytes read and what they need.
// `decided` is false when the file could not be opened or read; the plan's
// outcome then says which.
struct Look {
  std::optional<RegularFile> file;
  std::span<const unsigned char> head;
  Plan plan;
  bool decided = false;
};

Look LookAt(const char* path, std::span<unsigned char, kHeadBytes> buffer) {
  Look look;
  look.file = OpenRegular(path);
  if (!look.file) {
    look.plan.outcome = Outcome::CannotOpen;
    return look;
  }
  const int fd = look.file->fd.get();
  const auto length = static_cast<std::uint64_t>(look.file->st.st_size);
  const auto got =
      ReadAt(fd, buffer.first(static_cast<std::size_t>(std::min(length, kHeadBytes))), 0);
  if (!got) {
    look.plan.outcome = Outcome::ReadFailed;
    return look;
  }
  look.head = buffer.first(*got);  // shorter if the file shrank meanwhile
  look.plan = Decide(look.head, length, [fd](std::uint64_t offset, std::span<unsigned char> out) {
    const auto n = ReadAt(fd, out, static_cast<std::int64_t>(offset));
    return n && *n == out.size();
  });
  look.decided = true;
  return look;
}

// Writes what the plan says, syncs it, and makes room for RF64 where it asks.
Outcome Write(Look& look, const char* path, const std::optional<Intent>& intent) {
  const Plan& plan = look.plan;
  Fd out = OpenForWriting(*look.file, path);
  if (!out) {
    // An append-only file, say: nothing was written.
    return plan.writes.empty() && plan.insert != Insert::Finish ? plan.outcome
                                                                : Outcome::CannotOpen;
  }
  const std::vector<Patch> patches = Writes(look.head, plan);
  for (const Patch& patch : patches) {
    if (!WriteAt(out.get(), patch.bytes, static_cast<std::int64_t>(patch.at))) {
      return Outcome::WriteFailed;
    }
  }
  // A write the kernel accepted can still be lost when the page cache is
  // flushed (a full or failing disk); only the sync reports that.
  if (!patches.empty() && !SyncData(out.get())) {
    return Outcome::WriteFailed;
  }
  if (intent && plan.insert == Insert::Finish) {
    RemoveIntent(out.get());
  }
  Outcome outcome = plan.outcome;
  if (plan.insert == Insert::Make) {
    // The sizes say "to the end of the file" now; room for ds64 makes it RF64.
    static_cast<void>(look.file->fd.Close());  // only read: the lease wants one descriptor
    const auto length = static_cast<std::uint64_t>(look.file->st.st_size);
    switch (MakeRoom(out, plan.upgrade, length, look.file->st.st_blksize)) {
      case Room::Made:
        outcome = Outcome::Fixed;
        break;
      case Room::Failed:
        return Outcome::WriteFailed;
      case Room::NotPossible:
        break;
    }
  }
  return out.Close() ? outcome : Outcome::WriteFailed;
}

// One look at the file, and what it needs done; nothing when the file is to
// be looked at anew.
std::optional<Outcome> RepairOnce(const std::string& path) {
  // On the stack: a heap buffer this large would cost an mmap and a munmap.
  std::array<unsigned char, kHeadBytes> buffer;
  Look look = LookAt(path.c_str(), buffer);
  if (!look.decided) {
    return look.plan.outcome;
  }
  const Settled settled = SettleIntent(*look.file, path.c_str(), look.plan);
  switch (settled.step) {
    case Settled::LookAgain:
      return std::nullopt;
    case Settled::Leave:
      return Outcome::TooLarge;
    case Settled::GoOn:
      break;
  }
  if (look.plan.outcome != Outcome::Fixed && look.plan.insert == Insert::None) {
    return look.plan.outcome;  // only read: closing quietly loses nothing
  }
  return Write(look, path.c_str(), settled.intent);
}

}  // namespace

Outcome RepairFile(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    return Outcome::CannotOpen;  // no file has such a name; a cut one is another file
  }
  // A second look follows only a cut-off shift taken back; it ends the job.
  if (const std::optional<Outcome> outcome = RepairOnce(path)) {
    return *outcome;
  }
  return RepairOnce(path).value_or(Outcome::TooLarge);
}

void FIX_SIZE(const std::string& path) { Say(Message(RepairFile(path), path)); }

}  // namespace zavevuv
