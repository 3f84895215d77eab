// SPDX-License-Identifier: MIT
// A file descriptor that closes itself, and the few I/O calls built on it.
#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
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

  // Gives up the descriptor without closing it.
  int Release() noexcept { return std::exchange(fd_, -1); }

 private:
  int fd_ = -1;
};

// For a command's run: `stopping` says whether a stop signal came, and the
// waits below then end at once, so that a stop ends the run within moments
// whatever other processes hold. A library host never sets it.
void GiveWayTo(bool (*stopping)());
bool GivingWay();

// Calls `attempt` until it returns true, while `busy(errno)` says its
// failure is one to wait out, for about 2 seconds in all, in sleeps that
// double from 1 ms, and no longer once the run is stopping; whether it
// succeeded, errno as the last try left it.
bool Patiently(const std::function<bool()>& attempt, bool (*busy)(int));

// The file a path names, opened again for I/O through `named`, an O_PATH
// descriptor of it: the same inode, with no second lookup of the name. Where
// /proc is missing, the path is opened again (never following a symbolic
// link, never waiting, never becoming a controlling terminal) and kept only
// when it is still the inode `st` describes. A regular file on which another
// process holds a lease that the open would break is not waited on for the
// kernel's lease-break-time: the open is tried again for about 2 seconds.
// A named pipe is waited on for a writer for about 2 seconds, and no longer
// once the run is stopping; then nothing, errno EINTR (`late`: the 2 seconds
// passed).
Fd Reopen(const Fd& named, const struct stat& st, const char* path, int flags,
          bool* late = nullptr);

// A regular file, open read-only, and its length. Nothing but a regular file
// is ever opened for I/O: a device node, whose driver may act on open or
// close, is only looked at through an O_PATH descriptor. `found` is told of
// a regular file before it is opened for I/O (which may break a lease).
struct RegularFile {
  Fd fd;
  struct stat st {};
};
std::optional<RegularFile> OpenRegular(const char* path,
                                       const std::function<void(const struct stat&)>& found = {});

// The same for an entry that its folder, open as `folder`, listed as a
// regular file: opened by its name there at once (never through a symbolic
// link, never waiting), and confirmed by fstat. Only a rename can have put
// anything else there since, and a rename brings no device node into a
// folder (see DESIGN.md): a FIFO so opened is let go unread.
std::optional<RegularFile> OpenEntry(int folder, const char* name);

// What an open of the file for writing would meet (permissions, a read-only
// mount, an immutable file), as access(2) tells it without opening it for
// writing, which would wake every watcher of the file and break its leases;
// 0 where nothing would stop it.
int WriteError(const RegularFile& file);

// The same file opened for writing, when a write is planned; an invalid Fd
// when it cannot be (an append-only file, say).
Fd OpenForWriting(const RegularFile& file, const char* path);

// Reads until `out` is full or the file ends; the count read, or nullopt on error.
std::optional<std::size_t> ReadAt(int fd, std::span<unsigned char> out, std::int64_t offset);

// Reads what the descriptor gives at its position (a pipe or terminal too):
// the count read, 0 at the end, nullopt on error.
std::optional<std::size_t> ReadSome(int fd, std::span<char> out);

// Writes all of `data` at `offset`; false if any of it could not be written.
bool WriteAt(int fd, std::span<const unsigned char> data, std::int64_t offset);

// Writes all of `text` at the descriptor's position (a pipe or terminal too).
bool WriteAll(int fd, std::string_view text);

// fdatasync(2): true once what was written is on the storage device.
bool SyncData(int fd);

// fstat(2) of an open file.
bool Stat(const Fd& fd, struct stat& st);

}  // namespace zavevuv
