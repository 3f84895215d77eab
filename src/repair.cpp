// SPDX-License-Identifier: MIT
// Checks and repairs one file: the I/O around the decision. The file is
// opened only when it is a regular file we may write, read-only at first:
// its first bytes are read with one pread. Only when that look plans a write
// is it opened for writing; then, with another instance locked out and
// (where the kernel grants it) a write lease held, it is looked at anew, and
// what that look decides is written and synced.
#include <sys/stat.h>

#include <algorithm>
#include <array>

#include "fd.h"
#include "hold.h"
#include "insert.h"
#include "messages.h"
#include "output.h"
#include "plan.h"
#include "writes.h"
#include "zavevuv.h"

namespace zavevuv {
namespace {

using Buffer = std::array<unsigned char, kHeadBytes>;

// One look at a file: the bytes read and what they need. `decided` is false
// when they could not be read; the plan's outcome then says so.
struct Look {
  std::span<const unsigned char> head;
  std::uint64_t length = 0;
  Plan plan;
  bool decided = false;
};

Look LookAt(int fd, std::uint64_t length, Buffer& buffer) {
  Look look;
  look.length = length;
  const auto got = ReadAt(
      fd, std::span(buffer).first(static_cast<std::size_t>(std::min(length, kHeadBytes))), 0);
  if (!got) {
    look.plan.outcome = Outcome::ReadFailed;
    return look;
  }
  look.head = std::span(buffer).first(*got);  // shorter if the file shrank meanwhile
  look.plan = Decide(look.head, length, [fd](std::uint64_t offset, std::span<unsigned char> out) {
    const auto n = ReadAt(fd, out, static_cast<std::int64_t>(offset));
    return n && *n == out.size();
  });
  look.decided = true;
  return look;
}

// Writes what a look under the hold decided: an intent left by a cut-off
// insert first, then the fields, the sync, and room for RF64 where asked.
// Nothing when the file is to be looked at anew. Only a leased file is ever
// restructured.
std::optional<Outcome> Carry(const Fd& out, const Look& look, bool leased, blksize_t blockSize) {
  const Plan& plan = look.plan;
  const IntentRead intent = plan.mayHaveIntent ? ReadIntent(out.get()) : IntentRead{};
  if (intent.state == IntentRead::Failed) {
    return Outcome::ReadFailed;  // an insert may be half done: nothing is touched
  }
  const bool found = intent.state == IntentRead::Found;
  if (found && plan.insert == Insert::Make) {  // the old header at 0: a shift cut off?
    switch (leased ? TakeBackShift(out, look.length, intent.intent) : Shift::Left) {
      case Shift::TakenBack:
        return std::nullopt;
      case Shift::Left:
        return Outcome::TooLarge;  // never inserted into twice
      case Shift::NeverMade:
        break;
    }
  } else if (found && plan.insert == Insert::None) {
    RemoveIntent(out.get());  // an RF64 file: the insert was finished
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
  if (found && plan.insert == Insert::Finish) {
    RemoveIntent(out.get());
  }
  if (plan.insert != Insert::Make || !leased) {
    return plan.outcome;
  }
  // The sizes say "to the end of the file" now; room for ds64 makes it RF64.
  switch (MakeRoom(out, plan.upgrade, look.length, blockSize)) {
    case Room::Made:
      return Outcome::Fixed;
    case Room::Failed:
      return Outcome::WriteFailed;
    case Room::NotPossible:
      break;
  }
  return plan.outcome;
}

// Opens the file for writing, holds it, looks again and carries out what
// that look decides.
std::optional<Outcome> Write(RegularFile& file, const char* path, const Look& first,
                             Buffer& buffer) {
  const LeaseBreaks breaks;  // before the open, so that it outlives the lease
  Fd out = OpenForWriting(file, path);
  if (!out) {
    // An append-only file, say: nothing was written.
    return first.plan.writes.empty() && first.plan.insert != Insert::Finish ? first.plan.outcome
                                                                            : Outcome::CannotOpen;
  }
  static_cast<void>(file.fd.Close());  // only read: the lease wants one descriptor
  const Hold hold(out.get());
  std::optional<Outcome> outcome = Outcome::ReadFailed;
  struct stat st {};
  if (Stat(out, st)) {
    const Look fresh = LookAt(out.get(), static_cast<std::uint64_t>(st.st_size), buffer);
    outcome = fresh.decided ? Carry(out, fresh, hold.Leased(), st.st_blksize) : fresh.plan.outcome;
  }
  // Closing lets go of the lock and the lease; written data may only be
  // known kept once it succeeds.
  if (!out.Close() && outcome != Outcome::ReadFailed) {
    return Outcome::WriteFailed;
  }
  return outcome;
}

// One look at the file, and what it needs done; nothing when the file is to
// be looked at anew.
std::optional<Outcome> RepairOnce(const std::string& path) {
  std::optional<RegularFile> file = OpenRegular(path.c_str());
  if (!file) {
    return Outcome::CannotOpen;
  }
  // On the stack: a heap buffer this large would cost an mmap and a munmap.
  Buffer buffer;
  const Look look = LookAt(file->fd.get(), static_cast<std::uint64_t>(file->st.st_size), buffer);
  if (!look.decided) {
    return look.plan.outcome;
  }
  const Plan& plan = look.plan;
  if (plan.outcome != Outcome::Fixed && plan.insert == Insert::None) {
    // Only read; an intent a finished insert left on an RF64 file goes.
    const IntentRead intent = plan.mayHaveIntent ? ReadIntent(file->fd.get()) : IntentRead{};
    if (intent.state == IntentRead::Failed) {
      return Outcome::ReadFailed;
    }
    if (intent.state == IntentRead::Found) {
      RemoveIntent(file->fd.get());
    }
    return plan.outcome;
  }
  return Write(*file, path.c_str(), look, buffer);
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
