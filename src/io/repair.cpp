// SPDX-License-Identifier: MIT
// Checks and repairs one file: the I/O around the decision. The file is
// opened only when it is a regular file, read-only at first: its first bytes
// are read with one pread. Only when that look plans a write is it asked
// whether it may be written, and opened for writing; then, with another
// instance locked out and (where the kernel grants it) a write lease held,
// it is looked at anew, and what that look decides is written and synced
// (apply.cpp).
#include "repair.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <optional>

#include "apply.h"
#include "examine.h"
#include "fd.h"
#include "format.h"
#include "hold.h"
#include "insert.h"
#include "writes.h"

namespace zavevuv {
namespace {

// Opens the file for writing, holds it, looks again and carries out what
// that look decides.
Applied Write(RegularFile& file, const char* path, const Examined& first, Buffer buffer,
              const Like* like, Result& result) {
  LeaseBreaks breaks;  // before the open, so that it outlives the lease
  Fd out = OpenForWriting(file, path);
  breaks.Aim(out.get());
  if (!out && errno == EWOULDBLOCK) {
    return Outcome::Busy;  // another process's lease, not given up in 2 seconds
  }
  if (!out) {
    result.writeError = errno;
    // An append-only file, say: nothing was written.
    return first.plan.writes.empty() && first.plan.head.empty() &&
                   first.plan.insert != Insert::Finish
               ? first.plan.outcome
               : Outcome::CannotOpen;
  }
  static_cast<void>(file.fd.Close());  // only read: the lease wants one descriptor
  const Hold hold(out.get(), breaks.Leasing() ? Hold::LockAndLease : Hold::LockOnly);
  if (hold.Busy()) {
    errno = EAGAIN;
    return Outcome::Busy;  // locked by another process, or another instance, all along
  }
  const Applied pass = RecheckAndApply(out, hold, buffer, result, &first, like);
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
Applied LookAndAct(RegularFile& file, const char* path, Mode mode, Buffer buffer, const Like* like,
                   Result& result) {
  const Examined look = Examine(file.fd.get(), static_cast<std::uint64_t>(file.st.st_size), buffer,
                                mode == Mode::Repair, like);
  if (!look.decided) {
    return look.plan.outcome;
  }
  const Plan& plan = look.plan;
  Record(result, plan);
  const bool writes = WritesAny(plan);
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
  return Write(file, path, look, buffer, like, result);
}

// One look at the file by path, and what it needs done, in this thread's
// turn with the file, taken once it is known to be one, before it is opened.
Applied OnPathOnce(const char* path, Mode mode, Buffer buffer, const Like* like, Result& result,
                   std::optional<Turn>& turn) {
  std::optional<RegularFile> file = OpenRegular(path, [&turn](const struct stat& st) {
    if (!turn) {
      turn.emplace(st.st_dev, st.st_ino);
    }
  });
  if (!file) {
    result.writeError = errno;
    return errno == EWOULDBLOCK ? Outcome::Busy : Outcome::CannotOpen;
  }
  return LookAndAct(*file, path, mode, buffer, like, result);
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
  const bool rebuild = plan.found.shape != Shape::None;
  result.rf64 = !rebuild && (plan.insert == Insert::Finish ||
                             std::ranges::any_of(plan.writes, [](const FieldWrite& w) {
                               return w.at == kFirstChunk;  // JUNK becomes ds64
                             }));
  result.insert = !rebuild && plan.insert == Insert::Make;
}

Result OnPath(const char* path, Mode mode, const Like* like) {
  Result result;
  std::optional<Turn> turn;  // this thread's, for both looks
  // A second look follows only a cut-off shift taken back; it ends the job.
  const auto bytes = std::make_unique_for_overwrite<std::array<unsigned char, kFirstBytes>>();
  const Buffer buffer(*bytes);
  Applied pass = OnPathOnce(path, mode, buffer, like, result, turn);
  if (pass.recheck) {
    pass = OnPathOnce(path, mode, buffer, like, result, turn);
  }
  result.outcome = pass.outcome;
  return result;
}

Result OnEntry(int folder, const char* name, const Like* like) {
  Result result;
  const auto bytes = std::make_unique_for_overwrite<std::array<unsigned char, kFirstBytes>>();
  std::optional<RegularFile> file = OpenEntry(folder, name);
  if (!file) {
    result.writeError = errno;
    result.outcome = errno == EWOULDBLOCK ? Outcome::Busy : Outcome::CannotOpen;
    return result;
  }
  result.outcome = LookAndAct(*file, nullptr, Mode::Check, Buffer(*bytes), like, result).outcome;
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
  const Turn turn(st.st_dev, st.st_ino);
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
