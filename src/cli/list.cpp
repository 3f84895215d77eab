// SPDX-License-Identifier: MIT
#include "list.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "format.h"
#include "list_open.h"
#include "stops.h"

namespace zavevuv::cli {
namespace {

constexpr std::size_t kReadBlock = 0x10000;  // bytes asked for per read
constexpr std::size_t kMaxBytes = 4 << 20;   // zavevuv_32uvo's: 512 names of the longest path fit
constexpr std::size_t kFirstBytes = 40;      // what tells a WAVE, AIFF or Wave64 file
constexpr std::size_t kMostEmpty = 512;      // zavevuv's: empty names in a row that end a list

// What to do next: read on; read on, the most names taken; another name
// began after the most; the bytes are no list; stop (a stop signal, or a
// list read no further); zavevuv_32uvo's 4 MiB read.
enum class Step { More, Full, Enough, Unusable, Stop, Cut };

// One name that ended: its bytes (empty: an empty name between NUL bytes),
// whether it was longer than is held, and its place, counting from 1.
struct Ended {
  std::string& name;
  bool tooLong;
  std::size_t n;
};

// Splits a list's bytes into names as they come. In `lines` (zavevuv_32uvo's
// dialect), a list that holds a NUL byte is split at NUL alone, as `find
// -print0` writes it, and any other at line feeds: one carriage return ending
// a line is dropped, spaces and tabs belong to the name, and runs of line
// feeds give no names. Until a NUL shows or the list ends, its bytes are
// held, so that a name with a line feed in it is never split. Otherwise names
// end at NUL alone. A name is held whole, or up to `longest` bytes.
class Splitter {
 public:
  Splitter(bool lines, std::size_t longest, std::function<Step(const Ended&)> ended)
      : nul_(!lines), longest_(longest), ended_(std::move(ended)) {}

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

  // The list ended (`whole`), or is read no further: the held bytes are
  // lines, and the last name needs no separator after it.
  Step Finish(bool whole) {
    const Step step = nul_ ? Step::More : Split(std::exchange(held_, {}));
    if (step != Step::More || !whole || (line_.empty() && !tooLong_)) {
      return step;
    }
    return End();
  }

 private:
  Step Split(std::span<const char> bytes) {
    const char separator = nul_ ? '\0' : '\n';
    for (const char c : bytes) {
      if (c == separator) {
        if (const Step step = End(); step != Step::More && step != Step::Full) {
          return step;
        }
        continue;
      }
      tooLong_ = tooLong_ || (longest_ != 0 && line_.size() == longest_);
      if (!tooLong_) {
        line_ += c;
      }
      if (full_ && (nul_ || line_.size() > 1 || line_.front() != '\r')) {
        return Step::Enough;  // another name: enough to know
      }
    }
    return Step::More;
  }

  Step End() {
    if (!nul_ && !line_.empty() && line_.back() == '\r') {
      line_.pop_back();
    }
    Step step = Step::More;
    if (nul_ || !line_.empty() || tooLong_) {
      step = ended_({line_, tooLong_, ++count_});
    }
    full_ = full_ || step == Step::Full;
    line_.clear();
    tooLong_ = false;
    return step;
  }

  bool nul_;  // names end at NUL alone
  std::size_t longest_;
  std::function<Step(const Ended&)> ended_;
  std::string held_;  // the bytes before the first NUL, or the end
  std::string line_;
  bool tooLong_ = false;  // the name in hand is longer than is held
  bool full_ = false;     // the most names are taken
  std::size_t count_ = 0;
};

// Reads the list open as `fd` into `split` until it ends, is read no
// further, or a stop signal comes; its errno where a read failed.
std::pair<Step, int> Read(int fd, Splitter& split, bool classic) {
  std::string start;  // the first bytes, to tell an audio file
  std::vector<char> block(kReadBlock);
  for (std::size_t read = 0; AwaitInput(fd);) {
    if (classic && read >= kMaxBytes) {  // a stream has an end: endless empty lines, say
      const Step step = split.Finish(false);
      return {step == Step::More || step == Step::Full ? Step::Cut : step, 0};
    }
    const ssize_t got = ::read(fd, block.data(), block.size());
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
      continue;
    }
    if (got <= 0) {
      return got == 0 ? std::pair(split.Finish(true), 0) : std::pair(Step::Unusable, errno);
    }
    read += static_cast<std::size_t>(got);
    const auto bytes = std::span(block).first(static_cast<std::size_t>(got));
    if (classic && start.size() < kFirstBytes) {
      start.append(bytes.data(), std::min(bytes.size(), kFirstBytes - start.size()));
      // An audio file given where a list belongs: its bytes are no names.
      if (IsWaveHeader({reinterpret_cast<const unsigned char*>(start.data()), start.size()})) {
        return {Step::Unusable, 0};
      }
    }
    if (const Step step = split.Feed(bytes); step != Step::More && step != Step::Full) {
      return {step, 0};
    }
  }
  return {Step::Stop, 0};
}

// The list opened, or what kept it closed told; for zavevuv, standard input
// for "-".
Fd Open(const Options& options, Sink& sink) {
  const char* path = options.list;
  if (options.dialect == Dialect::Gnu && std::string_view(path) == "-") {
    return Fd(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
  }
  ListFile list = OpenList(path);
  switch (list.state) {
    case ListFile::State::Opened:
      break;
    case ListFile::State::Device:
      sink.Tell(Event::ListDevice, path, 0);
      break;
    case ListFile::State::NoWriter:
      sink.Tell(Event::ListNoWriter, path, 0);
      break;
    case ListFile::State::Stopped:
      break;
    case ListFile::State::Missing:
      sink.Tell(Event::ListMissing, path, list.error);
      break;
    case ListFile::State::Failed:
      sink.Tell(Event::ListCannotOpen, path, list.error);
      break;
  }
  return std::move(list.fd);
}

// zavevuv_32uvo: all names read first, so that a list that turns out
// unusable changes nothing; 512 at most, the prefix before each.
void VisitAll(const Options& options, const Fd& fd, Sink& sink) {
  std::vector<std::string> names;
  Splitter split(true, 0, [&](const Ended& name) {
    if (name.name.empty()) {
      return Step::Unusable;  // an empty name between NUL bytes: binary data
    }
    names.push_back(std::move(name.name));
    return names.size() == kMaxNames ? Step::Full : Step::More;
  });
  const auto [step, error] = Read(fd.get(), split, true);
  const bool read = step == Step::More || step == Step::Full || step == Step::Enough ||
                    (step == Step::Cut && names.size() == kMaxNames);
  if (!read) {
    if (step != Step::Stop) {
      sink.Tell(Event::ListUnreadable, options.list, error);
    }
    return;
  }
  sink.Tell(Event::ListCount, options.list, 0, names.size());
  for (const std::string& name : names) {
    if (sink.Stopping()) {
      return;
    }
    sink.FIX_SIZE(options.prefix + name, true);
  }
  if (step == Step::Enough) {
    sink.Tell(Event::ListLonger, options.list, 0);
  }
}

// zavevuv: each name handled as it ends. A run of empty names is said once,
// where it starts; kMostEmpty in a row (binary zeros, /dev/zero) end the
// list. A name longer than any path is said, not held.
void VisitEach(const Options& options, const Fd& fd, Sink& sink) {
  std::size_t empty = 0;    // empty names in a row, not yet said
  std::size_t emptyAt = 0;  // where they began
  const auto at = [&](std::size_t n) {
    return std::string(options.list) + ":" + std::to_string(n);
  };
  const auto sayEmpty = [&](Event event) {
    if (std::exchange(empty, 0) != 0) {
      sink.Tell(event, at(emptyAt), 0);
    }
  };
  Splitter split(false, kLongestName, [&](const Ended& name) {
    if (sink.Stopping()) {
      return Step::Stop;  // the name in hand is not handled
    }
    if (name.name.empty() && !name.tooLong) {
      emptyAt = empty++ == 0 ? name.n : emptyAt;
      if (empty < kMostEmpty) {
        return Step::More;
      }
      sayEmpty(Event::EmptyNames);
      return Step::Stop;
    }
    sayEmpty(Event::EmptyName);
    if (name.tooLong) {
      sink.Tell(Event::NameTooLong, at(name.n), ENAMETOOLONG);
    } else {
      Visit(name.name, options, sink);
    }
    return Step::More;
  });
  const auto [step, error] = Read(fd.get(), split, false);
  if (step == Step::Unusable) {
    sink.Tell(Event::ListUnreadable, options.list, error);
  } else if (step != Step::Stop) {
    sayEmpty(Event::EmptyName);
  }
}

}  // namespace

void ReadList(const Options& options, Sink& sink) {
  const Fd fd = Open(options, sink);
  if (!fd) {
    return;
  }
  if (options.dialect == Dialect::Classic) {
    VisitAll(options, fd, sink);
  } else {
    VisitEach(options, fd, sink);
  }
}

}  // namespace zavevuv::cli
