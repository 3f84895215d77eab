// A file descriptor that closes itself, and the few whole-buffer I/O calls
// built on it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace zavevuv {

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) noexcept : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept;
  // Quiet: a path that needs to know whether closing worked calls Close.
  ~Fd();

  // open(2), retried when a signal interrupts it; an invalid Fd on failure.
  static Fd Open(const char* path, int flags);

  [[nodiscard]] int get() const noexcept { return fd_; }
  explicit operator bool() const noexcept { return fd_ >= 0; }

  // Closes now and tells whether the kernel reported success. Data written
  // through the descriptor may only be known to be kept once this is true.
  [[nodiscard]] bool Close() noexcept;

 private:
  int fd_ = -1;
};

// A regular file opened for reading and writing, and its length.
struct RegularFile {
  Fd fd;
  std::uint64_t length = 0;
};

// Opens `path` for reading and writing only when it names a regular file.
// Nothing else is ever opened for I/O: a device node, whose driver may act on
// open or close, is only looked at through an O_PATH descriptor.
std::optional<RegularFile> OpenRegular(const char* path);

// Reads until `out` is full or the file ends; the count read, or nullopt on error.
std::optional<std::size_t> ReadAt(int fd, std::span<unsigned char> out, std::int64_t offset);

// Writes all of `data` at `offset`; false if any of it could not be written.
bool WriteAt(int fd, std::span<const unsigned char> data, std::int64_t offset);

// Writes all of `text` at the descriptor's position (a pipe or terminal too).
bool WriteAll(int fd, std::string_view text);

// Reads from the position to the end of the file; nullopt on error. `expected`
// sizes the buffer; when it is known (a regular file) one read is enough.
std::optional<std::string> ReadToEnd(int fd, std::size_t expected);

}  // namespace zavevuv
