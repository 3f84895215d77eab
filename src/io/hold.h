// SPDX-License-Identifier: MIT
// Others kept off a file while it is looked at anew and written: an
// open-file-description lock, so that a second instance waits its turn, a
// write lease, so that no other process opens or truncates the file, and
// turns for the threads of this process.
#pragma once

#include <sys/types.h>

#include <csignal>

namespace zavevuv {

// Threads of this process repairing one file take turns, from before the
// first open: two threads' own opens would meet each other's lock as two
// processes do (the second giving up as busy after a few seconds), and
// either's open would break the other's lease. A repair waits here while
// another thread of the process has the file, for as long as that one takes
// (itself bounded by the waits below).
class Turn {
 public:
  Turn(dev_t device, ino_t inode);
  Turn(const Turn&) = delete;
  Turn& operator=(const Turn&) = delete;
  ~Turn();

 private:
  dev_t device_;
  ino_t inode_;
};

// The signal a lease break sends (SIGIO in the command, SIGURG in a program
// that links the library), held pending in this thread while a lease may be
// held, so that a break never ends the run: the job in hand is finished, the
// lease released by closing the file, and the break drained. Only the
// thread's mask changes, never a disposition. In a host, only the breaks of
// the descriptor aimed at are taken; any other instance of the signal that
// arrived meanwhile is raised again for the process once the mask is as it
// was, so the host's own SIGURG reaches it as if we had not been there.
class LeaseBreaks {
 public:
  LeaseBreaks();
  LeaseBreaks(const LeaseBreaks&) = delete;
  LeaseBreaks& operator=(const LeaseBreaks&) = delete;
  ~LeaseBreaks();
  // The descriptor whose lease's breaks are ours to drain.
  void Aim(int fd) { fd_ = fd; }
  // Whether a lease may be taken: not where the host has SIGURG of its own
  // (a handler, or the signal blocked in this thread for sigwaitinfo),
  // which a break could reach or merge with. The repair then has the lock
  // and its fresh look, but never inserts.
  [[nodiscard]] bool Leasing() const { return leasing_; }

 private:
  bool leasing_ = true;
  bool drain_ = false;
  int fd_ = -1;
  sigset_t old_{};
};

// For a program of one thread: SIGIO held in it for the whole run, so no
// file costs a mask change, and no break needs aiming at a thread.
void HoldLeaseBreaksForTheRun();

// The lock, waited for a few seconds at most (another program may lock its
// own recording for hours), then the lease, where the kernel grants one: the
// caller owns the file or may lease it, and no other process has it open.
// Both go when the file is closed.
class Hold {
 public:
  enum Kind {
    LockAndLease,  // a descriptor of our own
    LockOnly,      // the same, in a host that keeps SIGURG to itself
    Borrowed,      // a caller's descriptor: no lease, and a flock it holds stays its own
  };
  explicit Hold(int fd, Kind kind = LockAndLease);
  // Whether another process (another instance too) held a lock on the file
  // (POSIX, open file description or flock) all the while the lock was
  // waited for: it is in use, and nothing may be written.
  [[nodiscard]] bool Busy() const { return busy_; }
  // Lets go of the lock now, for a descriptor that stays open (which
  // otherwise lets go when it is closed).
  void LetGo() const;
  // Whether nobody else can open, truncate or lock the file: only then may
  // it be restructured (a block inserted or taken out).
  [[nodiscard]] bool Leased() const { return leased_; }
  // Whether the lease is still ours, to be asked before each step that
  // writes: the kernel takes it away once a break has waited its
  // lease-break-time (45 s by default; a stopped or stalled run), and lets
  // the other process in. While the break is pending the other process
  // waits, and the job in hand may go on. True where no lease was taken;
  // false with errno ENOLCK once it is gone.
  [[nodiscard]] bool StillLeased() const;

 private:
  int fd_;
  bool locked_ = false;
  bool flocked_ = false;
  bool busy_ = false;
  bool leased_ = false;
};

}  // namespace zavevuv
