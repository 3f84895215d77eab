// SPDX-License-Identifier: MIT
#include "fd.h"

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <string>

#include "open_path.h"

namespace zavevuv {
namespace {

std::atomic<bool (*)()> stopCheck{nullptr};

// Repeats a system call that a signal interrupted before it did anything.
template <typename Call>
auto Retry(Call call) {
  decltype(call()) result{};
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

}  // namespace

void GiveWayTo(bool (*stopping)()) { stopCheck = stopping; }

bool GivingWay() {
  bool (*const stopping)() = stopCheck;
  return stopping != nullptr && stopping();
}

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    static_cast<void>(Close());  // quietly, as the destructor does
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

Fd::~Fd() {
  const int saved = errno;  // a failure reported before the close stays the one reported
  static_cast<void>(Close());
  errno = saved;
}

Fd Fd::Open(const char* path, int flags) {
  return Fd(Retry([&] { return ::open(path, flags); }));
}

bool Fd::Close() noexcept {
  const int fd = std::exchange(fd_, -1);
  // Never retried: on Linux the descriptor is gone even when close fails,
  // and the failure (EINTR included) may mean written data was lost.
  return fd >= 0 && ::close(fd) == 0;
}

bool Patiently(const std::function<bool()>& attempt, bool (*busy)(int)) {
  for (long wait = 1'000'000; wait <= 1'024'000'000; wait *= 2) {
    if (attempt()) {
      return true;
    }
    if (!busy(errno) || GivingWay()) {
      return false;
    }
    const int error = errno;
    const struct timespec pause { wait / 1'000'000'000, wait % 1'000'000'000 };
    ::nanosleep(&pause, nullptr);
    errno = error;
  }
  return false;
}

namespace {

constexpr long kWriterWaitNs = 2'000'000'000;  // for a named pipe's writer
constexpr suseconds_t kTickUs = 50'000;        // how often that wait asks

extern "C" void OnTick(int /*signal*/) {}

long Now() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1'000'000'000L + now.tv_nsec;
}

// open(2) of a named pipe, waiting for a writer for about 2 seconds at
// most, and no longer once the run is stopping. A timer's signal interrupts
// the open every tick, so that neither the deadline nor a stop signal that
// came just before the open can be missed.
Fd OpenPipe(const char* path, int flags, bool* late) {
  struct sigaction tick {};
  struct sigaction before {};
  tick.sa_handler = OnTick;  // no SA_RESTART: the open returns EINTR
  sigemptyset(&tick.sa_mask);
  ::sigaction(SIGALRM, &tick, &before);
  const itimerval every{{0, kTickUs}, {0, kTickUs}};
  itimerval saved{};
  ::setitimer(ITIMER_REAL, &every, &saved);
  const long deadline = Now() + kWriterWaitNs;
  int fd = -1;
  bool over = false;
  do {
    fd = ::open(path, flags);
    over = Now() >= deadline;
  } while (fd < 0 && errno == EINTR && !over && !GivingWay());
  const int error = errno;
  ::setitimer(ITIMER_REAL, &saved, nullptr);
  ::sigaction(SIGALRM, &before, nullptr);
  if (late != nullptr) {
    *late = over;
  }
  errno = error;
  return Fd(fd);
}

Fd ReopenOnce(const Fd& named, const struct stat& st, const char* path, int flags, bool* late) {
  const std::string self = "/proc/self/fd/" + std::to_string(named.get());
  Fd fd = S_ISFIFO(st.st_mode) ? OpenPipe(self.c_str(), flags | O_NOCTTY | O_CLOEXEC, late)
                               : Fd::Open(self.c_str(), flags | O_NOCTTY | O_CLOEXEC);
  if (fd || errno != ENOENT) {
    return fd;
  }
  // No /proc. A name swapped between the fstat and this open is still
  // opened, but never through a symbolic link, and it is let go unless it is
  // the inode looked at.
  fd = Fd::Open(path, flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat again {};
  if (fd &&
      (::fstat(fd.get(), &again) != 0 || again.st_dev != st.st_dev || again.st_ino != st.st_ino)) {
    return {};
  }
  return fd;
}

}  // namespace

Fd Reopen(const Fd& named, const struct stat& st, const char* path, int flags, bool* late) {
  Fd fd;
  if (S_ISREG(st.st_mode)) {
    // A lease held against the open makes it fail with EWOULDBLOCK (and
    // starts the lease's break) where it would wait.
    Patiently([&] { return bool(fd = ReopenOnce(named, st, path, flags | O_NONBLOCK, late)); },
              [](int error) { return error == EWOULDBLOCK; });
  } else {
    fd = ReopenOnce(named, st, path, flags, late);
  }
  // Reads of a pipe wait again, as any reader's do. A regular file opened
  // only to read keeps O_NONBLOCK: its reads never wait on it.
  // The caller's flags hold no O_NONBLOCK, and F_SETFL takes only the status
  // flags of them: no F_GETFL is needed to clear it.
  const bool onlyReadsAFile = S_ISREG(st.st_mode) && (flags & O_ACCMODE) == O_RDONLY;
  if (fd && !onlyReadsAFile && ::fcntl(fd.get(), F_SETFL, flags) != 0) {
    return {};
  }
  return fd;
}

namespace {

// The path resolved under root's rule for links, and what it names.
Fd Resolve(const char* path, struct stat& st) {
  Fd named = OpenPath(path);
  return named && ::fstat(named.get(), &st) == 0 ? std::move(named) : Fd();
}

}  // namespace

std::optional<RegularFile> OpenRegular(const char* path,
                                       const std::function<void(const struct stat&)>& found) {
  RegularFile file;
  Fd named = Resolve(path, file.st);
  if (!named) {
    return std::nullopt;
  }
  if (!S_ISREG(file.st.st_mode)) {
    errno = S_ISDIR(file.st.st_mode) ? EISDIR : EINVAL;
    return std::nullopt;
  }
  if (found) {
    found(file.st);
  }
  file.fd = Reopen(named, file.st, path, O_RDONLY);
  if (!file.fd) {
    return std::nullopt;
  }
  static_cast<void>(named.Close());  // it was never read or written
  return file;
}

std::optional<RegularFile> OpenEntry(int folder, const char* name) {
  RegularFile file;
  constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
  // Another process's lease held against the open: tried again, as Reopen does.
  Patiently(
      [&] { return bool(file.fd = Fd(Retry([&] { return ::openat(folder, name, kFlags); }))); },
      [](int error) { return error == EWOULDBLOCK; });
  if (!file.fd || !Stat(file.fd, file.st)) {
    return std::nullopt;
  }
  if (!S_ISREG(file.st.st_mode)) {
    errno = S_ISDIR(file.st.st_mode) ? EISDIR : EINVAL;
    return std::nullopt;
  }
  return file;
}

int WriteError(const RegularFile& file) {
  return ::faccessat(file.fd.get(), "", W_OK, AT_EMPTY_PATH | AT_EACCESS) == 0 ? 0 : errno;
}

Fd OpenForWriting(const RegularFile& file, const char* path) {
  return Reopen(file.fd, file.st, path, O_RDWR);
}

std::optional<std::size_t> ReadAt(int fd, std::span<unsigned char> out, std::int64_t offset) {
  std::size_t done = 0;
  while (done < out.size()) {
    const ssize_t got = Retry([&] {
      return ::pread(fd, out.data() + done, out.size() - done,
                     static_cast<off_t>(offset) + static_cast<off_t>(done));
    });
    if (got < 0) {
      return std::nullopt;
    }
    if (got == 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  return done;
}

std::optional<std::size_t> ReadSome(int fd, std::span<char> out) {
  const ssize_t got = Retry([&] { return ::read(fd, out.data(), out.size()); });
  return got < 0 ? std::nullopt : std::optional(static_cast<std::size_t>(got));
}

bool WriteAt(int fd, std::span<const unsigned char> data, std::int64_t offset) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t put = Retry([&] {
      return ::pwrite(fd, data.data() + done, data.size() - done,
                      static_cast<off_t>(offset) + static_cast<off_t>(done));
    });
    if (put <= 0) {
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  return true;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = Retry([&] { return ::write(fd, text.data(), text.size()); });
    if (put <= 0) {
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

bool SyncData(int fd) {
  return Retry([&] { return ::fdatasync(fd); }) == 0;
}

bool Stat(const Fd& fd, struct stat& st) { return ::fstat(fd.get(), &st) == 0; }

}  // namespace zavevuv
