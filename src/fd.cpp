#include "fd.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zavevuv {
namespace {

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

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    static_cast<void>(Close());  // quietly, as the destructor does
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

Fd::~Fd() { static_cast<void>(Close()); }

Fd Fd::Open(const char* path, int flags) {
  return Fd(Retry([&] { return ::open(path, flags); }));
}

std::optional<RegularFile> OpenRegular(const char* path) {
  // O_PATH resolves the name and reaches no driver.
  Fd named = Fd::Open(path, O_PATH | O_CLOEXEC);
  struct stat st {};
  if (!named || ::fstat(named.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return std::nullopt;
  }
  // The same inode reopened through the descriptor: no second lookup of the
  // path, so a name swapped for a device in between cannot be opened.
  const std::string self = "/proc/self/fd/" + std::to_string(named.get());
  Fd fd = Fd::Open(self.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (!fd && errno == ENOENT) {
    // No /proc: open the path again, non-blocking, and keep it only if it is
    // still the file looked at.
    fd = Fd::Open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    struct stat again {};
    if (fd && (::fstat(fd.get(), &again) != 0 || again.st_dev != st.st_dev ||
               again.st_ino != st.st_ino)) {
      return std::nullopt;
    }
  }
  if (!fd) {
    return std::nullopt;
  }
  static_cast<void>(named.Close());  // it was never read or written
  return RegularFile{std::move(fd), static_cast<std::uint64_t>(st.st_size)};
}

bool Fd::Close() noexcept {
  const int fd = std::exchange(fd_, -1);
  // Never retried: on Linux the descriptor is gone even when close fails,
  // and the failure (EINTR included) may mean written data was lost.
  return fd >= 0 && ::close(fd) == 0;
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

std::optional<std::string> ReadToEnd(int fd, std::size_t expected) {
  constexpr std::size_t kChunk = std::size_t{64} * 1024;  // step for pipes and unknown lengths
  std::string text(expected > 0 ? expected : kChunk, '\0');
  std::size_t done = 0;
  for (;;) {
    if (done == text.size()) {
      if (expected > 0) {
        break;  // a regular file: its length, read in one go, is all we take
      }
      text.resize(text.size() + kChunk);
    }
    const ssize_t got = Retry([&] { return ::read(fd, text.data() + done, text.size() - done); });
    if (got < 0) {
      return std::nullopt;
    }
    if (got == 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  text.resize(done);
  return text;
}

}  // namespace zavevuv
