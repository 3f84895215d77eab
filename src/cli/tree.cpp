// SPDX-License-Identifier: MIT
#include "tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <vector>

#include "fd.h"
#include "list_open.h"
#include "open_path.h"
#include "stops.h"

namespace zavevuv::cli {
namespace {

struct Entry {
  std::string name;
  unsigned char type = DT_UNKNOWN;
};

// A folder's entries but "." and "..", in name order (bytewise, as
// LC_ALL=C sorts); false with errno when it could not all be read.
bool List(DIR* folder, std::vector<Entry>& entries) {
  errno = 0;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") {
      entries.push_back({std::string(name), entry->d_type});
    }
    errno = 0;
  }
  if (errno != 0) {
    return false;
  }
  std::ranges::sort(entries, {}, &Entry::name);
  return true;
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.ends_with('/') ? folder + name : folder + '/' + name;
}

// The mount a folder is on, never 0: its mount id, which tells a bind mount
// of the same file system too; its device where the kernel gives no mount id.
std::uint64_t MountOf(int fd) {
  struct statx sx {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &sx) == 0 && (sx.stx_mask & STATX_MNT_ID) != 0) {
    return sx.stx_mnt_id;
  }
  struct stat st {};
  return (::fstat(fd, &st) == 0 ? st.st_dev : 0) | 1ULL << 63;
}

// Walks the folder open as `fd` (taken over), named `path`, staying on
// `mount` unless it is 0. Only this folder's names are held while its
// subfolders are walked, one descriptor each on the way down.
void Walk(Fd fd, const std::string& path, std::uint64_t mount, Sink& sink) {
  DIR* folder = ::fdopendir(fd.get());
  if (folder == nullptr) {
    sink.Trouble(path, "cannot read folder", errno);
    return;
  }
  static_cast<void>(fd.Release());  // the DIR owns it now
  std::vector<Entry> entries;
  if (!List(folder, entries)) {
    sink.Trouble(path, "cannot read folder", errno);
  }
  const int at = ::dirfd(folder);
  for (const Entry& entry : entries) {
    if (sink.Stopping()) {
      break;
    }
    unsigned char type = entry.type;
    struct stat st {};
    if (type == DT_UNKNOWN && ::fstatat(at, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
    }
    const std::string child = Join(path, entry.name);
    if (type == DT_DIR) {
      Fd sub(::openat(at, entry.name.c_str(),
                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
      if (sub && mount != 0 && MountOf(sub.get()) != mount) {
        continue;  // -x: another mount, passed over as find -xdev does
      }
      if (sub) {
        Walk(std::move(sub), child, mount, sink);
      } else {
        sink.Trouble(child, "cannot open folder", errno);
      }
    } else if (type == DT_REG) {
      sink.File(child, false);
    } else {
      sink.Skipped();
    }
  }
  ::closedir(folder);
}

// The names of a NUL-separated list, visited as they end. A name is held
// only up to the longest path, so a list without NUL bytes costs no memory,
// and a longer one is refused. A run of empty names is said once, where it
// starts; a run of kMostEmpty (binary zeros, /dev/zero) ends the list.
class Names {
 public:
  Names(std::string_view list, const Options& options, Sink& sink)
      : list_(list), options_(options), sink_(sink) {}

  // False once the list is to be read no further.
  bool Feed(std::string_view bytes) {
    for (;;) {
      const std::size_t end = std::min(bytes.find('\0'), bytes.size());
      Hold(bytes.substr(0, end));
      if (end == bytes.size()) {
        return true;
      }
      if (sink_.Stopping() || !EndName()) {
        return false;
      }
      bytes.remove_prefix(end + 1);
    }
  }

  // The list ended: the last name needs no NUL after it.
  void End() {
    if (!name_.empty() || tooLong_) {
      static_cast<void>(EndName());
    }
    ReportEmpty("invalid zero-length file name");
  }

 private:
  static constexpr std::size_t kMostEmpty = 512;

  // More of the name in hand, held up to the longest path.
  void Hold(std::string_view part) {
    const std::size_t room = kLongestName - name_.size();
    tooLong_ = tooLong_ || part.size() > room;
    name_.append(part.substr(0, room));
  }

  bool EndName() {
    ++count_;
    if (name_.empty() && !tooLong_) {
      if (empty_++ == 0) {
        emptyAt_ = count_;
      }
      if (empty_ < kMostEmpty) {
        return true;
      }
      ReportEmpty("invalid zero-length file names in a row: list read no further");
      return false;
    }
    ReportEmpty("invalid zero-length file name");
    if (tooLong_) {
      sink_.Trouble(At(count_), "cannot open", ENAMETOOLONG);
    } else {
      Visit(name_, options_, sink_);
    }
    name_.clear();
    tooLong_ = false;
    return true;
  }

  // The run of empty names in hand, if any, reported.
  void ReportEmpty(const char* reason) {
    if (empty_ != 0) {
      empty_ = 0;
      sink_.Trouble(At(emptyAt_), reason, 0);
    }
  }

  [[nodiscard]] std::string At(std::size_t n) const {
    return std::string(list_) + ":" + std::to_string(n);
  }

  std::string_view list_;
  const Options& options_;
  Sink& sink_;
  std::string name_;
  bool tooLong_ = false;     // the name in hand is longer than any path
  std::size_t count_ = 0;    // names ended so far, empty ones too
  std::size_t empty_ = 0;    // empty names in a row, not yet said
  std::size_t emptyAt_ = 0;  // where that run starts
};

}  // namespace

void Visit(const std::string& operand, const Options& options, Sink& sink) {
  if (options.recursive) {
    // Under root's rule for links, as the library opens a file.
    const Fd named = OpenPath(operand.c_str());
    struct stat st {};
    if (named && Stat(named, st) && S_ISDIR(st.st_mode)) {
      Fd folder = Reopen(named, st, operand.c_str(), O_RDONLY | O_DIRECTORY);
      if (!folder) {
        sink.Trouble(operand, "cannot open folder", errno);
        return;
      }
      const std::uint64_t mount = options.oneFileSystem ? MountOf(folder.get()) : 0;
      Walk(std::move(folder), operand, mount, sink);
      return;
    }
  }
  sink.File(operand, true);  // the library says what it is
}

void VisitList(const char* from, const Options& options, Sink& sink) {
  Fd opened;
  if (std::string_view(from) != "-") {
    ListFile list = OpenList(from, [] { return StopSignal() != 0; });
    switch (list.state) {
      case ListFile::State::Opened:
        opened = std::move(list.fd);
        break;
      case ListFile::State::Device:
        return sink.Trouble(from, "cannot open list: a device, never opened as one", 0);
      case ListFile::State::NoWriter:
        return sink.Trouble(from, "cannot open list: no writer opened it in 2 seconds", 0);
      case ListFile::State::Stopped:
        return;
      default:
        return sink.Trouble(from, "cannot open list", list.error);
    }
  }
  const int fd = opened ? opened.get() : STDIN_FILENO;
  Names names(from, options, sink);
  std::array<char, 0x10000> block{};
  while (AwaitInput(fd)) {
    const ssize_t got = ::read(fd, block.data(), block.size());
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
      continue;
    }
    if (got < 0) {
      return sink.Trouble(from, "cannot read list", errno);
    }
    if (got == 0) {
      return names.End();
    }
    if (!names.Feed({block.data(), static_cast<std::size_t>(got)})) {
      return;  // stopped, or read no further: the name in hand is not visited
    }
  }
}

}  // namespace zavevuv::cli
