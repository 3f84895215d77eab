// SPDX-License-Identifier: MIT
#include "hold.h"

#include "fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

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

// Whether the failure of a lock is another process's lock on the file.
bool Conflict(int error) { return error == EAGAIN || error == EACCES; }

// The whole file locked for writing, waiting up to about 2 seconds, in
// sleeps that double from 1 ms; errno as the last try left it.
bool Lock(int fd) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  int error = 0;
  const bool locked = Patiently(
      [&] {
        const bool done = ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
        error = done ? 0 : errno;
        return done;
      },
      [](int failed) { return Conflict(failed) || failed == EINTR; });
  errno = error;
  return locked;
}

// Whether the host has a SIGURG disposition of its own (a handler): a
// lease's break, told by SIGURG, could then reach the host, or merge with a
// SIGURG of its own, between taking the lease and aiming its break at this
// thread; so no lease is taken.
bool HostTakesSigurg() {
  struct sigaction now {};
  return ::sigaction(SIGURG, nullptr, &now) == 0 &&
         ((now.sa_flags & SA_SIGINFO) != 0 ||
          (now.sa_handler != SIG_DFL && now.sa_handler != SIG_IGN));
}

// Whether `line` of /proc/locks ("1: LEASE  BREAKING  UNLCK 4242 08:01:1234
// 0 EOF") is a lease whose break is pending, set by `pid` on the inode
// `inode` ("08:01:1234"). A waiter's line has "->" in place of the type.
bool Breaking(std::string_view line, std::string_view pid, std::string_view inode) {
  std::array<std::string_view, 6> words{};
  for (std::string_view& word : words) {
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) {
      return false;
    }
    line.remove_prefix(start);
    word = line.substr(0, line.find(' '));
    line.remove_prefix(word.size());
  }
  return words[1] == "LEASE" && words[2] == "BREAKING" && words[4] == pid && words[5] == inode;
}

// Whether the kernel still lists our lease on `fd`, its break pending. Once
// the break has waited its time, the lease is gone, or (where the opener
// only reads) a read lease: either way another process is in.
bool StillBreaking(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    return false;
  }
  std::array<char, 64> inode{};
  std::snprintf(inode.data(), inode.size(), "%02x:%02x:%llu", ::major(st.st_dev),
                ::minor(st.st_dev), static_cast<unsigned long long>(st.st_ino));
  const std::string pid = std::to_string(::getpid());
  Fd locks = Fd::Open("/proc/locks", O_RDONLY | O_CLOEXEC);
  std::string text;
  std::vector<char> chunk(4096);
  while (locks) {
    const auto got = ReadSome(locks.get(), chunk);
    if (!got) {
      return false;
    }
    text.append(chunk.data(), *got);
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n')) {
      if (Breaking(std::string_view(text).substr(0, end), pid, inode.data())) {
        return true;
      }
      text.erase(0, end + 1);
    }
    if (*got == 0) {
      break;
    }
  }
  return false;
}

}  // namespace

LeaseBreaks::LeaseBreaks() {
  if (heldForRun) {
    return;  // the command's SIGIO stays held, and its breaks pending, for the run
  }
  if (HostTakesSigurg()) {
    leasing_ = false;  // no lease, no break, and the host's mask left alone
    return;
  }
  const sigset_t breaks = SetOf(BreakSignal());
  drain_ = ::pthread_sigmask(SIG_BLOCK, &breaks, &old_) == 0;
  restore_ = drain_ && sigismember(&old_, BreakSignal()) == 0;
}

LeaseBreaks::~LeaseBreaks() {
  if (!drain_) {
    return;
  }
  const int saved = errno;  // what failed before stays what is reported
  const sigset_t breaks = SetOf(BreakSignal());
  const struct timespec now {};
  siginfo_t info{};
  bool hosts = false;  // an instance that is not our lease's break
  while (::sigtimedwait(&breaks, &info, &now) == BreakSignal()) {
    hosts = hosts || info.si_code != POLL_MSG || fd_ < 0 || info.si_fd != fd_;
  }
  if (restore_) {
    static_cast<void>(::pthread_sigmask(SIG_SETMASK, &old_, nullptr));
  }
  if (hosts) {
    static_cast<void>(::kill(::getpid(), BreakSignal()));
  }
  errno = saved;
}

void HoldLeaseBreaksForTheRun() {
  const sigset_t sigio = SetOf(SIGIO);
  heldForRun = ::pthread_sigmask(SIG_BLOCK, &sigio, nullptr) == 0;
}

Hold::Hold(int fd, Kind kind) : fd_(fd) {
  locked_ = Lock(fd);
  busy_ = !locked_ && Conflict(errno);
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

bool Hold::StillLeased() const {
  if (!leased_) {
    return true;
  }
  // F_GETLEASE tells no break (F_WRLCK) from a pending one; a pending one
  // from a lease gone only /proc/locks does.
  if (::fcntl(fd_, F_GETLEASE) == F_WRLCK || StillBreaking(fd_)) {
    return true;
  }
  errno = ENOLCK;
  return false;
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
