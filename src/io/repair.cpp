// SPDX-License-Identifier: MIT
// Checks and repairs one file: the I/O around the decision. The file is
// opened only when it is a regular file, read-only at first: its first bytes
// are read with one pread. Only when that look plans a write is it asked
// whether it may be written, and opened for writing; then, with another
// instance locked out and (where the kernel grants it) a write lease held,
// it is looked at anew, and what that look decides is written and synced.
#include "repair.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>

#include "examine.h"
#include "fd.h"
#include "format.h"
#include "hold.h"
#include "insert.h"
#include "writes.h"

namespace zavevuv {
namespace {

// What applying a plan ends in: its outcome or, once a cut-off shift was
// taken back, a recheck (the file looked at anew). A recheck carries
// TooLarge, which stands should a second ever ask for one too: a file is
// never inserted into twice.
struct Applied {
  Applied(Outcome done) : outcome(done) {}  // NOLINT(google-explicit-constructor): every return
  static Applied Recheck() {
    Applied applied(Outcome::TooLarge);
    applied.recheck = true;
    return applied;
  }
  Outcome outcome;
  bool recheck = false;
};

// The intent a cut-off insert may have left, where the plan says one may be;
// an RF64 file whose insert was finished (nothing more to insert) has it
// removed. Nothing when it cannot be read: an insert may be half done.
std::optional<IntentRead> TakeIntent(int fd, const Plan& plan) {
  const IntentRead intent = plan.mayHaveIntent ? ReadIntent(fd) : IntentRead{};
  if (intent.state == IntentRead::Failed) {
    return std::nullopt;
  }
  if (intent.state == IntentRead::Found && plan.insert == Insert::None) {
    RemoveIntent(fd);
  }
  return intent;
}

// Writes what a look under the hold decided: an intent left by a cut-off
// insert first, then the fields, the sync, and room for RF64 where asked.
// A look anew when a cut-off shift was taken back. Only a leased file is ever
// restructured, and nothing is written once its lease is gone (nor said
// fixed).
Applied Apply(const Fd& out, const Examined& look, const Hold& hold, blksize_t blockSize,
              Result& result) {
  const Plan& plan = look.plan;
  const bool leased = hold.Leased();
  if (!hold.StillLeased()) {
    return Outcome::WriteFailed;  // stopped or stalled while it looked
  }
  const std::optional<IntentRead> intent = TakeIntent(out.get(), plan);
  if (!intent) {
    return Outcome::ReadFailed;  // nothing is touched
  }
  const bool found = intent->state == IntentRead::Found;
  if (found && plan.insert == Insert::Make) {  // the old header at 0: a shift cut off?
    switch (leased ? TakeBackShift(out, look.length, intent->intent) : Shift::Left) {
      case Shift::TakenBack:
        return Applied::Recheck();
      case Shift::Left:
        return Outcome::TooLarge;  // never inserted into twice
      case Shift::NeverMade:
        break;
    }
  }
  Record(result, plan);
  const std::vector<Patch> patches = Writes(look.head, plan);
  for (const Patch& patch : patches) {
    // The first write follows the check above at once; each further one
    // asks again.
    if ((&patch != patches.data() && !hold.StillLeased()) ||
        !WriteAt(out.get(), patch.bytes, static_cast<std::int64_t>(patch.at))) {
      return Outcome::WriteFailed;
    }
  }
  // A write the kernel accepted can still be lost when the page cache is
  // flushed (a full or failing disk); only the sync reports that.
  if (!patches.empty() && (!SyncData(out.get()) || !hold.StillLeased())) {
    return Outcome::WriteFailed;
  }
  if (found && plan.insert == Insert::Finish) {
    RemoveIntent(out.get());
  }
  if (plan.insert != Insert::Make || !leased) {
    return plan.outcome;
  }
  // The sizes say "to the end of the file" now; room for ds64 makes it RF64.
  switch (MakeRoom(out, hold, plan.upgrade, look.length, blockSize)) {
    case Room::Made:
      result.rf64 = true;
      result.insert = false;
      return Outcome::Fixed;
    case Room::Failed:
    case Room::Lost:
      return Outcome::WriteFailed;
    case Room::NotPossible:
      break;
  }
  return plan.outcome;
}

// Looks at the file anew under the hold and carries out what that look
// decides. `first`: the look taken before the hold, where there was one.
Applied RecheckAndApply(const Fd& out, const Hold& hold, Buffer buffer, Result& result,
                        const Examined* first = nullptr) {
  struct stat st {};
  if (!Stat(out, st)) {
    return Outcome::ReadFailed;
  }
  const Examined fresh = Again(out.get(), static_cast<std::uint64_t>(st.st_size), buffer, first);
  return fresh.decided ? Apply(out, fresh, hold, st.st_blksize, result) : fresh.plan.outcome;
}

// Opens the file for writing, holds it, looks again and carries out what
// that look decides.
Applied Write(RegularFile& file, const char* path, const Examined& first, Buffer buffer,
              Result& result) {
  LeaseBreaks breaks;  // before the open, so that it outlives the lease
  Fd out = OpenForWriting(file, path);
  breaks.Aim(out.get());
  if (!out && errno == EWOULDBLOCK) {
    return Outcome::Busy;  // another process's lease, not given up in 2 seconds
  }
  if (!out) {
    result.writeError = errno;
    // An append-only file, say: nothing was written.
    return first.plan.writes.empty() && first.plan.insert != Insert::Finish ? first.plan.outcome
                                                                            : Outcome::CannotOpen;
  }
  static_cast<void>(file.fd.Close());  // only read: the lease wants one descriptor
  const Hold hold(out.get(), breaks.Leasing() ? Hold::LockAndLease : Hold::LockOnly);
  if (hold.Busy()) {
    errno = EAGAIN;
    return Outcome::Busy;  // locked by another process, or another instance, all along
  }
  const Applied pass = RecheckAndApply(out, hold, buffer, result, &first);
  // Closing lets go of the lock and the lease; written data may only be
  // known kept once it succeeds.
  if (!out.Close() && (pass.recheck || pass.outcome != Outcome::ReadFailed)) {
    return Outcome::WriteFailed;
  }
  return pass;
}

// A look at the file open read-only, and what it needs done. Whether it may
// be written is asked only where a write is planned: a file that needs none
// is what it is, read-only or not.
Applied LookAndAct(RegularFile& file, const char* path, Mode mode, Buffer buffer, Result& result) {
  const Examined look = Examine(file.fd.get(), static_cast<std::uint64_t>(file.st.st_size), buffer,
                                mode == Mode::Repair);
  if (!look.decided) {
    return look.plan.outcome;
  }
  const Plan& plan = look.plan;
  Record(result, plan);
  const bool writes = !plan.writes.empty() || plan.insert != Insert::None;
  if (writes || plan.mayHaveIntent) {
    result.writeError = WriteError(file);
  }
  if (mode == Mode::Check) {
    return plan.outcome;
  }
  if (writes && result.writeError != 0) {
    errno = result.writeError;
    return Outcome::CannotOpen;  // it needs a write this caller may not make
  }
  if (!writes) {
    // Only read; an intent a finished insert left on an RF64 file goes,
    // where the file may be written.
    if (plan.mayHaveIntent && result.writeError == 0 && !TakeIntent(file.fd.get(), plan)) {
      return Outcome::ReadFailed;
    }
    return plan.outcome;
  }
  return Write(file, path, look, buffer, result);
}

// One look at the file by path, and what it needs done.
Applied OnPathOnce(const char* path, Mode mode, Buffer buffer, Result& result) {
  std::optional<RegularFile> file = OpenRegular(path);
  if (!file) {
    result.writeError = errno;
    return errno == EWOULDBLOCK ? Outcome::Busy : Outcome::CannotOpen;
  }
  return LookAndAct(*file, path, mode, buffer, result);
}

// The caller's descriptor, in an Fd for the calls that take one, and never
// closed.
class Borrowed {
 public:
  explicit Borrowed(int fd) : fd_(fd) {}
  Borrowed(const Borrowed&) = delete;
  Borrowed& operator=(const Borrowed&) = delete;
  ~Borrowed() { static_cast<void>(fd_.Release()); }
  [[nodiscard]] const Fd& get() const { return fd_; }

 private:
  Fd fd_;
};

}  // namespace

void Record(Result& result, const Plan& plan) {
  result.found = plan.found;
  result.fields = plan.writes.size();
  result.rf64 =
      plan.insert == Insert::Finish || std::ranges::any_of(plan.writes, [](const FieldWrite& w) {
        return w.at == kFirstChunk;  // JUNK becomes ds64
      });
  result.insert = plan.insert == Insert::Make;
}

Result OnPath(const char* path, Mode mode) {
  Result result;
  // A second look follows only a cut-off shift taken back; it ends the job.
  const auto bytes = std::make_unique_for_overwrite<std::array<unsigned char, kFirstBytes>>();
  const Buffer buffer(*bytes);
  Applied pass = OnPathOnce(path, mode, buffer, result);
  if (pass.recheck) {
    pass = OnPathOnce(path, mode, buffer, result);
  }
  result.outcome = pass.outcome;
  return result;
}

Result OnEntry(int folder, const char* name) {
  Result result;
  const auto bytes = std::make_unique_for_overwrite<std::array<unsigned char, kFirstBytes>>();
  std::optional<RegularFile> file = OpenEntry(folder, name);
  if (!file) {
    result.writeError = errno;
    result.outcome = errno == EWOULDBLOCK ? Outcome::Busy : Outcome::CannotOpen;
    return result;
  }
  result.outcome = LookAndAct(*file, nullptr, Mode::Check, Buffer(*bytes), result).outcome;
  return result;
}

Result OnDescriptor(int fd, Mode mode) {
  Result result;
  result.outcome = Outcome::CannotOpen;
  const int flags = ::fcntl(fd, F_GETFL);
  struct stat st {};
  if (flags < 0 || ::fstat(fd, &st) != 0) {
    return result;
  }
  const int access = flags & O_ACCMODE;
  // On Linux a pwrite to an O_APPEND descriptor appends, whatever its offset.
  result.writeError = access != O_RDWR ? EBADF : (flags & O_APPEND) != 0 ? EINVAL : 0;
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return result;
  }
  if ((flags & O_PATH) != 0 || access == O_WRONLY) {
    errno = EBADF;
    return result;
  }
  if (mode == Mode::Repair && result.writeError != 0) {
    errno = result.writeError;
    return result;
  }
  const auto bytes = std::make_unique_for_overwrite<std::array<unsigned char, kFirstBytes>>();
  const Buffer buffer(*bytes);
  if (mode == Mode::Check) {
    const Examined look = Examine(fd, static_cast<std::uint64_t>(st.st_size), buffer);
    Record(result, look.plan);
    result.outcome = look.plan.outcome;
    return result;
  }
  const Borrowed out(fd);
  const Hold hold(fd, Hold::Borrowed);  // never a lease: the caller keeps the descriptor
  if (hold.Busy()) {
    errno = EAGAIN;
    result.outcome = Outcome::Busy;
    return result;
  }
  result.outcome = RecheckAndApply(out.get(), hold, buffer, result).outcome;
  hold.LetGo();
  return result;
}

}  // namespace zavevuv
