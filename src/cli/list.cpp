// SPDX-License-Identifier: MIT
// Reads the list file of list mode: names separated by line feeds, or by NUL
// bytes, read as a stream with bounded memory.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <utility>

#include "fd.h"
#include "format.h"
#include "open_path.h"
#include "tool.h"

namespace zavevuv {
namespace {

constexpr std::size_t kMaxLine = 4095;      // no path is longer
constexpr std::size_t kReadBlock = 0x4000;  // bytes asked for per read
constexpr std::size_t kMaxBytes = 4 << 20;  // read in all: 512 names of 4,095 bytes fit
constexpr std::size_t kFirstBytes = 12;     // "RIFF", its size, "WAVE"

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

// The list opened for reading, without ever opening anything else.
Fd OpenList(const char* path, ListStatus& status) {
  Fd named = OpenPath(path);  // under root's rule for links, as a file is
  struct stat st {};
  if (!named) {
    status = ListStatus::CannotOpen;
    return {};
  }
  status = ListStatus::CannotRead;
  if (::fstat(named.get(), &st) != 0 || !Listable(st)) {
    return {};
  }
  // Blocking: a named pipe is waited on like any reader of it would.
  Fd fd = Reopen(named, st, path, O_RDONLY);
  struct stat in {};
  if (!fd && S_ISSOCK(st.st_mode) && ::fstat(STDIN_FILENO, &in) == 0 && in.st_dev == st.st_dev &&
      in.st_ino == st.st_ino) {
    fd = Fd(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));  // a socket cannot be opened again
  }
  if (fd) {
    status = ListStatus::Read;
  }
  return fd;
}

FileList Unusable() { return {ListStatus::CannotRead, {}, false}; }

// Names taken from the list's bytes as they come.
class Lines {
 public:
  explicit Lines(std::size_t most) : most_(most) {}

  enum class Step { More, Enough, Unusable };

  // A list that holds a NUL byte is split at NUL alone, as `find -print0`
  // writes it: line feeds and carriage returns then belong to the names, and
  // an empty name (a NUL first, or two in a row) is binary data, not a list.
  // Any other list is split at line feeds: one carriage return ending a line
  // (a list saved with CR LF) is dropped, a space or a tab is part of the
  // name it stands in, and runs of line feeds give no empty names. Until a
  // NUL shows or the list ends, its bytes are held, so that a name with a
  // line feed in it is never split. Past `most` names, reading stops as soon
  // as another name shows.
  Step Feed(std::span<const char> bytes) {
    if (nul_) {
      return Split(bytes);
    }
    held_.append(bytes.data(), bytes.size());
    if (held_.find('\0') == std::string::npos) {
      return Step::More;
    }
    nul_ = true;
    return Split(std::exchange(held_, {}));
  }

  // The list ended (`whole`), or was read no further: the held bytes are
  // lines, and the last name needs no separator after it.
  Step Finish(bool whole) {
    const Step step = nul_ ? Step::More : Split(std::exchange(held_, {}));
    if (step != Step::More || !whole) {
      return step;
    }
    return EndName() ? Step::More : Step::Unusable;
  }

  FileList list;

 private:
  Step Split(std::span<const char> bytes) {
    const char separator = nul_ ? '\0' : '\n';
    for (const char c : bytes) {
      if (c == separator) {
        if ((nul_ && line_.empty()) || !EndName()) {
          return Step::Unusable;
        }
        continue;
      }
      line_ += c;
      if (line_.size() > kMaxLine + 1) {
        return Step::Unusable;  // longer than any path, even with a CR
      }
      if (list.names.size() == most_ && (nul_ || line_.size() > 1 || line_.front() != '\r')) {
        list.more = true;  // another name: enough to know
        return Step::Enough;
      }
    }
    return Step::More;
  }

  // A name ends: it is taken, if any; false when it is too long.
  bool EndName() {
    if (!nul_ && !line_.empty() && line_.back() == '\r') {
      line_.pop_back();
    }
    if (line_.size() > kMaxLine) {
      return false;
    }
    if (!line_.empty()) {
      list.names.push_back(std::move(line_));
    }
    line_.clear();
    return true;
  }

  std::size_t most_;
  bool nul_ = false;  // a NUL showed: names end at NUL alone
  std::string held_;  // the bytes before the first NUL, or the end
  std::string line_;
};

}  // namespace

FileList ReadList(const char* path, std::size_t most) {
  FileList opened;
  const Fd fd = OpenList(path, opened.status);
  if (!fd) {
    return opened;
  }
  Lines lines(most);
  std::string start;  // the first bytes, to tell a WAVE file
  std::array<char, kReadBlock> block{};
  // A stream has an end: endless empty lines, say, are read no further than
  // 4 MiB. Fewer names than the most by then make no list.
  for (std::size_t read = 0;;) {
    if (read >= kMaxBytes) {
      if (lines.Finish(false) == Lines::Step::Unusable) {
        return Unusable();
      }
      return lines.list.names.size() == most ? lines.list : Unusable();
    }
    const auto got = ReadSome(fd.get(), block);
    read += got.value_or(0);
    if (!got) {
      return Unusable();  // a directory, or a read error
    }
    if (*got == 0) {
      return lines.Finish(true) != Lines::Step::Unusable ? lines.list : Unusable();
    }
    const auto bytes = std::span(block).first(*got);
    if (start.size() < kFirstBytes) {
      start.append(bytes.data(), std::min(bytes.size(), kFirstBytes - start.size()));
      // A WAVE file given where a list belongs: its bytes are no names.
      if (IsWaveHeader({reinterpret_cast<const unsigned char*>(start.data()), start.size()})) {
        return Unusable();
      }
    }
    switch (lines.Feed(bytes)) {
      case Lines::Step::Unusable:
        return Unusable();
      case Lines::Step::Enough:
        return lines.list;
      case Lines::Step::More:
        break;
    }
  }
}

}  // namespace zavevuv
