// SPDX-License-Identifier: MIT
#include "hold.h"

#include "fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace zavevuv {
namespace {

thread_local bool heldForRun = false;

// The signal that tells a lease's break. The command holds SIGIO for its
// whole run. In another program's thread the break is told by SIGURG
// instead, whose default action is to ignore it: between taking the lease
// and aiming its break at this thread, a break goes to the whole process,
// and may reach a thread of the host that does not block the signal.
int BreakSignal() { return heldForRun ? SIGIO : SIGURG; }

sigset_t SetOf(int signal) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  return set;
}

// The whole file locked for writing, waiting up to about 2 seconds, in
// sleeps that double from 1 ms.
bool Lock(int fd) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  return Patiently([&] { return ::fcntl(fd, F_OFD_SETLK, &lock) == 0; },
                   [](int error) { return error == EAGAIN || error == EACCES || error == EINTR; });
}

}  // namespace

LeaseBreaks::LeaseBreaks() {
  if (heldForRun) {
    return;
  }
  const sigset_t breaks = SetOf(BreakSignal());
  restore_ =
      ::pthread_sigmask(SIG_BLOCK, &breaks, &old_) == 0 && sigismember(&old_, BreakSignal()) == 0;
}

LeaseBreaks::~LeaseBreaks() {
  if (!restore_) {
    return;
  }
  const int saved = errno;  // what failed before stays what is reported
  const sigset_t breaks = SetOf(BreakSignal());
  const struct timespec now {};
  while (::sigtimedwait(&breaks, nullptr, &now) == BreakSignal()) {
  }
  static_cast<void>(::pthread_sigmask(SIG_SETMASK, &old_, nullptr));
  errno = saved;
}

void HoldLeaseBreaksForTheRun() {
  const sigset_t sigio = SetOf(SIGIO);
  heldForRun = ::pthread_sigmask(SIG_BLOCK, &sigio, nullptr) == 0;
}

Hold::Hold(int fd, Kind kind) : fd_(fd) {
  locked_ = Lock(fd);
  if (!locked_ || kind == LockOnly || (!heldForRun && ::fcntl(fd, F_SETSIG, BreakSignal()) != 0) ||
      ::fcntl(fd, F_SETLEASE, F_WRLCK) != 0) {
    return;  // locked by another for long, open elsewhere, not ours to lease, or leases off
  }
  leased_ = true;
  if (!heldForRun) {
    // Setting the lease made the process its owner; the break goes to this
    // thread, which holds the signal.
    struct f_owner_ex owner {
      F_OWNER_TID, ::gettid()
    };
    static_cast<void>(::fcntl(fd, F_SETOWN_EX, &owner));
  }
}

void Hold::LetGo() const {
  if (!locked_) {
    return;
  }
  const int saved = errno;
  struct flock lock {};
  lock.l_type = F_UNLCK;
  lock.l_whence = SEEK_SET;
  static_cast<void>(::fcntl(fd_, F_OFD_SETLK, &lock));
  errno = saved;
}

}  // namespace zavevuv
