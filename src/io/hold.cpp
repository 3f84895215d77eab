// SPDX-License-Identifier: MIT
#include "hold.h"

#include "fd.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zavevuv {
namespace {

// The files threads of this process are repairing, and the wait for one.
struct Turns {
  std::mutex mutex;
  std::condition_variable done;
  std::vector<std::pair<dev_t, ino_t>> files;
};

Turns& TheTurns() {
  static auto* const turns = new Turns;  // never destroyed: a host's thread may outlive exit
  return *turns;
}

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
// sleeps that double from 1 ms: by an open file description lock, which
// holds off POSIX and OFD locks (our own instances' too), and by flock(2),
// which scripts take with flock(1) and which the other two never meet. A
// file system without flock is locked by the first alone. `flocked`: a
// flock was taken here. errno as the last try left it.
bool Lock(int fd, bool flockToo, bool& flocked) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  bool ofd = false;
  int error = 0;
  const bool locked = Patiently(
      [&] {
        ofd = ofd || ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
        if (ofd && flockToo && !flocked) {
          flocked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
          if (!flocked && Conflict(errno)) {
            error = errno;
            return false;
          }
        }
        error = ofd ? 0 : errno;
        return ofd;
      },
      [](int failed) { return Conflict(failed) || failed == EINTR; });
  if (!locked && ofd) {  // flock held by another all along: the lock goes too
    lock.l_type = F_UNLCK;
    static_cast<void>(::fcntl(fd, F_OFD_SETLK, &lock));
  }
  errno = error;
  return locked;
}

// The lines of /proc/self/fdinfo/FD: the locks this open file description
// holds ("lock:\t1: LEASE  BREAKING  UNLCK 4242 08:01:1234 0 EOF"), and no
// other's, however many other processes hold on other files.
std::string FdInfo(int fd) {
  const std::string name = "/proc/self/fdinfo/" + std::to_string(fd);
  Fd info = Fd::Open(name.c_str(), O_RDONLY | O_CLOEXEC);
  std::string text;
  std::array<char, 1024> chunk{};
  while (info) {
    const auto got = ReadSome(info.get(), chunk);
    if (!got || *got == 0) {
      break;
    }
    text.append(chunk.data(), *got);
  }
  return text;
}

// Whether one of `fdinfo`'s lock lines is of `type` ("LEASE", "FLOCK") and,
// where `state` is given, in that state ("BREAKING").
bool Holds(std::string_view fdinfo, std::string_view type, std::string_view state = {}) {
  for (std::size_t at = fdinfo.find("lock:"); at != std::string_view::npos;
       at = fdinfo.find("lock:", at + 1)) {
    std::string_view line = fdinfo.substr(at + 5, fdinfo.find('\n', at) - at - 5);
    std::array<std::string_view, 3> words{};  // "1:", the type, the state
    for (std::string_view& word : words) {
      line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
      word = line.substr(0, line.find(' '));
      line.remove_prefix(word.size());
    }
    if (words[1] == type && (state.empty() || words[2] == state)) {
      return true;
    }
  }
  return false;
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

}  // namespace

LeaseBreaks::LeaseBreaks() {
  if (heldForRun) {
    return;  // the command's SIGIO stays held, and its breaks pending, for the run
  }
  // A host that handles SIGURG, or blocks it here to take it with
  // sigwaitinfo(2), has SIGURG of its own, which a break could reach or
  // merge with: no lease, no break, and the host's mask left alone.
  sigset_t now{};
  if (HostTakesSigurg() || ::pthread_sigmask(SIG_BLOCK, nullptr, &now) != 0 ||
      sigismember(&now, SIGURG) == 1) {
    leasing_ = false;
    return;
  }
  const sigset_t breaks = SetOf(BreakSignal());
  drain_ = ::pthread_sigmask(SIG_BLOCK, &breaks, &old_) == 0;
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
  static_cast<void>(::pthread_sigmask(SIG_SETMASK, &old_, nullptr));
  if (hosts) {
    static_cast<void>(::kill(::getpid(), BreakSignal()));
  }
  errno = saved;
}

Turn::Turn(dev_t device, ino_t inode) : device_(device), inode_(inode) {
  Turns& turns = TheTurns();
  std::unique_lock lock(turns.mutex);
  turns.done.wait(lock, [&] {
    return std::ranges::find(turns.files, std::pair(device, inode)) == turns.files.end();
  });
  turns.files.emplace_back(device, inode);
}

Turn::~Turn() {
  Turns& turns = TheTurns();
  {
    const std::scoped_lock lock(turns.mutex);
    std::erase(turns.files, std::pair(device_, inode_));
  }
  turns.done.notify_all();
}

void HoldLeaseBreaksForTheRun() {
  const sigset_t sigio = SetOf(SIGIO);
  heldForRun = ::pthread_sigmask(SIG_BLOCK, &sigio, nullptr) == 0;
}

Hold::Hold(int fd, Kind kind) : fd_(fd) {
  // A caller's own flock through its descriptor stays the caller's.
  locked_ = Lock(fd, kind != Borrowed || !Holds(FdInfo(fd), "FLOCK"), flocked_);
  busy_ = !locked_ && Conflict(errno);
  if (!locked_ || kind != LockAndLease ||
      (!heldForRun && ::fcntl(fd, F_SETSIG, BreakSignal()) != 0) ||
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
  // from a lease gone only the kernel's list of this descriptor's locks
  // does. A read lease there means the opener only reads and is in already.
  if (::fcntl(fd_, F_GETLEASE) == F_WRLCK || Holds(FdInfo(fd_), "LEASE", "BREAKING")) {
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
  if (flocked_) {
    static_cast<void>(::flock(fd_, LOCK_UN));
  }
  errno = saved;
}

}  // namespace zavevuv
