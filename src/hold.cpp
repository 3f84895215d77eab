// SPDX-License-Identifier: MIT
#include "hold.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace zavevuv {
namespace {

thread_local bool heldForRun = false;

sigset_t Sigio() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGIO);
  return set;
}

// The whole file locked for writing, waiting up to about 2 seconds, in
// sleeps that double from 1 ms.
bool Lock(int fd) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  for (long wait = 1'000'000; wait <= 1'024'000'000; wait *= 2) {
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) {
      return true;
    }
    if (errno != EAGAIN && errno != EACCES && errno != EINTR) {
      return false;
    }
    struct timespec pause {
      wait / 1'000'000'000, wait % 1'000'000'000
    };
    ::nanosleep(&pause, nullptr);
  }
  return false;
}

}  // namespace

LeaseBreaks::LeaseBreaks() {
  if (heldForRun) {
    return;
  }
  const sigset_t sigio = Sigio();
  restore_ = ::pthread_sigmask(SIG_BLOCK, &sigio, &old_) == 0 && sigismember(&old_, SIGIO) == 0;
}

LeaseBreaks::~LeaseBreaks() {
  if (!restore_) {
    return;
  }
  const int saved = errno;  // what failed before stays what is reported
  const sigset_t sigio = Sigio();
  const struct timespec now {};
  while (::sigtimedwait(&sigio, nullptr, &now) == SIGIO) {
  }
  static_cast<void>(::pthread_sigmask(SIG_SETMASK, &old_, nullptr));
  errno = saved;
}

void HoldLeaseBreaksForTheRun() {
  const sigset_t sigio = Sigio();
  heldForRun = ::pthread_sigmask(SIG_BLOCK, &sigio, nullptr) == 0;
}

Hold::Hold(int fd, Kind kind) : fd_(fd) {
  locked_ = Lock(fd);
  if (!locked_ || kind == LockOnly || ::fcntl(fd, F_SETLEASE, F_WRLCK) != 0) {
    return;  // locked by another for long, open elsewhere, not ours to lease, or leases off
  }
  leased_ = true;
  if (!heldForRun) {
    // Setting the lease made the process its owner; the break goes to this
    // thread, which holds SIGIO.
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
