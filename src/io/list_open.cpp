// SPDX-License-Identifier: MIT
#include "list_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "open_path.h"

namespace zavevuv {
namespace {

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

// Standard input, where it is the socket `st` describes: a socket cannot be
// opened again.
Fd StandardInputIf(const struct stat& st) {
  struct stat in {};
  const bool same = S_ISSOCK(st.st_mode) && ::fstat(STDIN_FILENO, &in) == 0 &&
                    in.st_dev == st.st_dev && in.st_ino == st.st_ino;
  return same ? Fd(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0)) : Fd();
}

}  // namespace

ListFile OpenList(const char* path) {
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
  list.fd = Reopen(named, st, path, O_RDONLY, &late);
  if (!list.fd) {
    list.fd = StandardInputIf(st);
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
