// SPDX-License-Identifier: MIT
// Loaded with LD_PRELOAD by the tests, which choose a fault in ZAVEVUV_FAULT:
//   lost-sync    every pwrite is accepted and then lost, and fdatasync reports
//                it, as on a disk that fails when the page cache is flushed
//   truncate     the file named in ZAVEVUV_FAULT_FILE is emptied the moment
//                it is opened for writing: another process between the look
//                and the write, without a race to win
//   xattr-eio    reading an extended attribute fails with EIO
//   slow-insert  an insert waits 300 ms (or ZAVEVUV_FAULT_PAUSE ms) once its
//                intent is set, and 300 ms after, so that a process watching
//                for the intent acts while the lease is held, or outlasts it
//   stalled-insert  the insert itself waits as long before it is made, after
//                the last question whether the lease is still ours
//   slow-sync    fdatasync waits as long first, holding the lease open
//   slow-write   each pwrite waits as long first, so that a run stopped
//                between two writes of one file would leave it half-written
//   kill-write   the process is killed at its Nth write (ZAVEVUV_FAULT_AT,
//                from 1): a pwrite once half of it reached the file, or an
//                insert once made, before its block is written
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

bool Fault(const char* name) {
  const char* fault = std::getenv("ZAVEVUV_FAULT");
  return fault != nullptr && std::strcmp(fault, name) == 0;
}

template <typename Call>
Call Next(const char* name) {
  return reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
}

// 300 ms, or ZAVEVUV_FAULT_PAUSE ms.
void Pause() {
  const char* chosen = std::getenv("ZAVEVUV_FAULT_PAUSE");
  const long ms = chosen != nullptr ? std::atol(chosen) : 300;
  const struct timespec pause { ms / 1000, ms % 1000 * 1'000'000 };
  nanosleep(&pause, nullptr);
}

// Whether this is the write to be killed at.
bool KilledNow() {
  static int writes = 0;
  const char* at = std::getenv("ZAVEVUV_FAULT_AT");
  return Fault("kill-write") && at != nullptr && ++writes == std::atoi(at);
}

void MaybeTruncate(int flags) {
  if (Fault("truncate") && (flags & O_ACCMODE) == O_RDWR) {
    static_cast<void>(truncate(std::getenv("ZAVEVUV_FAULT_FILE"), 0));
  }
}

// The mode is there only where the flags create a file.
int OpenAndMaybeTruncate(const char* real, const char* path, int flags, va_list args) {
  MaybeTruncate(flags);
  const auto mode =
      (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(args, int)) : 0;
  return Next<int (*)(const char*, int, ...)>(real)(path, flags, mode);
}

}  // namespace

// Each call comes in two names, the plain and the 64-bit one (and
// __open_2, __open64_2 are what a fortified build calls): one body for both.
#define PWRITE(name)                                                                             \
  ssize_t name(int fd, const void* buf, std::size_t n, off_t offset) {                           \
    using Call = ssize_t (*)(int, const void*, std::size_t, off_t);                              \
    if (Fault("slow-write")) {                                                                   \
      Pause();                                                                                   \
    }                                                                                            \
    if (KilledNow()) {                                                                           \
      Next<Call>(#name)(fd, buf, n / 2, offset);                                                 \
      fdatasync(fd);                                                                             \
      kill(getpid(), SIGKILL);                                                                   \
    }                                                                                            \
    return Fault("lost-sync") ? static_cast<ssize_t>(n) : Next<Call>(#name)(fd, buf, n, offset); \
  }
#define OPEN(name)                                                 \
  int name(const char* path, int flags, ...) {                     \
    va_list args;                                                  \
    va_start(args, flags);                                         \
    const int fd = OpenAndMaybeTruncate(#name, path, flags, args); \
    va_end(args);                                                  \
    return fd;                                                     \
  }
#define OPEN_2(name)                                            \
  int name(const char* path, int flags) {                       \
    MaybeTruncate(flags);                                       \
    return Next<int (*)(const char*, int)>(#name)(path, flags); \
  }

extern "C" {
PWRITE(pwrite)
PWRITE(pwrite64)
OPEN(open)
OPEN(open64)
OPEN_2(__open_2)    // NOLINT(bugprone-reserved-identifier)
OPEN_2(__open64_2)  // NOLINT(bugprone-reserved-identifier)
int fdatasync(int fd) {
  if (Fault("lost-sync")) {
    errno = EIO;
    return -1;
  }
  if (Fault("slow-sync")) {
    Pause();
  }
  return Next<int (*)(int)>("fdatasync")(fd);
}
int fsetxattr(int fd, const char* name, const void* value, std::size_t size, int flags) {
  const int done = Next<int (*)(int, const char*, const void*, std::size_t, int)>("fsetxattr")(
      fd, name, value, size, flags);
  if (Fault("slow-insert")) {
    Pause();
  }
  return done;
}
int fallocate(int fd, int mode, off_t offset, off_t length) {
  if (Fault("stalled-insert") && (mode & 0x20) != 0) {  // inside the insert, the lease asked for
    Pause();
  }
  const int done = Next<int (*)(int, int, off_t, off_t)>("fallocate")(fd, mode, offset, length);
  if (Fault("kill-write") && (mode & 0x20) != 0 && done == 0 && KilledNow()) {
    kill(getpid(), SIGKILL);  // the insert made, its block not yet written
  }
  if (Fault("slow-insert") && (mode & 0x20) != 0) {  // FALLOC_FL_INSERT_RANGE
    const struct timespec pause { 0, 300'000'000 };
    nanosleep(&pause, nullptr);
  }
  return done;
}
ssize_t fgetxattr(int fd, const char* name, void* value, std::size_t size) {
  if (Fault("xattr-eio")) {
    errno = EIO;
    return -1;
  }
  return Next<ssize_t (*)(int, const char*, void*, std::size_t)>("fgetxattr")(fd, name, value,
                                                                              size);
}
}
