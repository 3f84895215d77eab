// SPDX-License-Identifier: MIT
// Reads the list file of list mode: names separated by line feeds, or by NUL
// bytes, read as a stream with bounded memory.
#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <utility>

#include "fd.h"
#include "format.h"
#include "list_open.h"
#include "tool.h"

namespace zavevuv {
namespace {

constexpr std::size_t kReadBlock = 0x4000;  // bytes asked for per read
constexpr std::size_t kMaxBytes = 4 << 20;  // read in all: 512 names of 4,095 bytes fit
constexpr std::size_t kFirstBytes = 40;     // what tells a WAVE, AIFF or Wave64 file

// The list opened for reading, without ever opening anything else.
Fd Open(const char* path, ListStatus& status) {
  ListFile list = OpenList(path);
  status = list.state == ListFile::State::Opened    ? ListStatus::Read
           : list.state == ListFile::State::Missing ? ListStatus::CannotOpen
                                                    : ListStatus::CannotRead;
  return std::move(list.fd);
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
    EndName();
    return Step::More;
  }

  FileList list;

 private:
  Step Split(std::span<const char> bytes) {
    const char separator = nul_ ? '\0' : '\n';
    for (const char c : bytes) {
      if (c == separator) {
        if (nul_ && line_.empty()) {
          return Step::Unusable;
        }
        EndName();
        continue;
      }
      line_ += c;
      if (list.names.size() == most_ && (nul_ || line_.size() > 1 || line_.front() != '\r')) {
        list.more = true;  // another name: enough to know
        return Step::Enough;
      }
    }
    return Step::More;
  }

  // A name ends: it is taken, if any. One longer than any path is taken
  // too: it cannot be opened, and says so in its turn.
  void EndName() {
    if (!nul_ && !line_.empty() && line_.back() == '\r') {
      line_.pop_back();
    }
    if (!line_.empty()) {
      list.names.push_back(std::move(line_));
    }
    line_.clear();
  }

  std::size_t most_;
  bool nul_ = false;  // a NUL showed: names end at NUL alone
  std::string held_;  // the bytes before the first NUL, or the end
  std::string line_;
};

}  // namespace

FileList ReadList(const char* path, std::size_t most) {
  FileList opened;
  const Fd fd = Open(path, opened.status);
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
