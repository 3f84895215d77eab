// SPDX-License-Identifier: MIT
#include "list_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>

#include "open_path.h"

namespace zavevuv {
namespace {

constexpr long kWriterWaitNs = 2'000'000'000;  // for a named pipe's writer
constexpr suseconds_t kTickUs = 50'000;        // how often the wait asks

// Whether a list may be read from what `st` describes: a regular file, a
// FIFO or pipe, a socket, /dev/null or a terminal. Any other device may act
// on being opened (a tape rewinds, a watchdog arms, a serial line raises its
// control lines), so it is never opened.
bool Listable(const struct stat& st) {
  if (S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
    return true;
  }
  if (!S_ISCHR(st.st_mode)) {
    return false;
  }
  const unsigned major = ::major(st.st_rdev);
  const unsigned minor = ::minor(st.st_rdev);
  return (major == 1 && minor == 3) ||    // /dev/null
         (major == 4 && minor < 64) ||    // a virtual console
         (major == 5 && minor <= 1) ||    // /dev/tty, /dev/console
         (major >= 136 && major <= 143);  // a pseudo-terminal
}

extern "C" void OnTick(int /*signal*/) {}

long Now() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1'000'000'000L + now.tv_nsec;
}

// The named pipe opened for reading once a writer opens it. A timer's
// signal interrupts the open every tick, so that neither the deadline nor a
// stop signal that came just before the open can be missed.
Fd OpenPipe(const Fd& named, const struct stat& st, const char* path, bool (*stopping)(),
            bool& late) {
  struct sigaction tick {};
  struct sigaction before {};
  tick.sa_handler = OnTick;  // no SA_RESTART: the open returns EINTR
  sigemptyset(&tick.sa_mask);
  ::sigaction(SIGALRM, &tick, &before);
  const itimerval every{{0, kTickUs}, {0, kTickUs}};
  itimerval saved{};
  ::setitimer(ITIMER_REAL, &every, &saved);
  const long deadline = Now() + kWriterWaitNs;
  Fd fd = Reopen(named, st, path, O_RDONLY, [&] {
    late = Now() >= deadline;
    return !late && (stopping == nullptr || !stopping());
  });
  const int error = errno;
  ::setitimer(ITIMER_REAL, &saved, nullptr);
  ::sigaction(SIGALRM, &before, nullptr);
  errno = error;
  return fd;
}

}  // namespace

ListFile OpenList(const char* path, bool (*stopping)()) {
  ListFile list;
  const Fd named = OpenPath(path);  // under root's rule for links, as a file is
  struct stat st {};
  if (!named || ::fstat(named.get(), &st) != 0) {
    list.state = ListFile::State::Missing;
    list.error = errno;
    return list;
  }
  if (!Listable(st)) {
    list.state = ListFile::State::Device;
    return list;
  }
  bool late = false;
  list.fd = S_ISFIFO(st.st_mode) ? OpenPipe(named, st, path, stopping, late)
                                 : Reopen(named, st, path, O_RDONLY);
  struct stat in {};
  if (!list.fd && S_ISSOCK(st.st_mode) && ::fstat(STDIN_FILENO, &in) == 0 &&
      in.st_dev == st.st_dev && in.st_ino == st.st_ino) {
    list.fd = Fd(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));  // a socket cannot be opened again
  }
  list.error = errno;
  if (list.fd) {
    list.state = ListFile::State::Opened;
  } else if (list.error == EINTR) {
    list.state = late ? ListFile::State::NoWriter : ListFile::State::Stopped;
  }
  return list;
}

}  // namespace zavevuv
