// SPDX-License-Identifier: MIT
#include "tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

#include "fd.h"
#include "open_path.h"

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

// Walks the folder open as `fd` (taken over), named `path`. Only this
// folder's names are held while its subfolders are walked, one descriptor
// each on the way down.
void Walk(Fd fd, const std::string& path, Sink& sink) {
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
      if (sub) {
        Walk(std::move(sub), child, sink);
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

}  // namespace

void Visit(const std::string& operand, bool recursive, Sink& sink) {
  if (recursive) {
    // Under root's rule for links, as the library opens a file.
    const Fd named = OpenPath(operand.c_str());
    struct stat st {};
    if (named && Stat(named, st) && S_ISDIR(st.st_mode)) {
      Fd folder = Reopen(named, st, operand.c_str(), O_RDONLY | O_DIRECTORY);
      if (!folder) {
        sink.Trouble(operand, "cannot open folder", errno);
        return;
      }
      Walk(std::move(folder), operand, sink);
      return;
    }
  }
  sink.File(operand, true);  // the library says what it is
}

void VisitList(const char* from, bool recursive, Sink& sink) {
  const std::string shown = from;
  Fd opened;
  if (shown != "-") {
    const Fd named = OpenPath(from);
    struct stat st {};
    if (named && Stat(named, st)) {
      opened = Reopen(named, st, from, O_RDONLY);
    }
    if (!opened) {
      sink.Trouble(shown, "cannot open list", errno);
      return;
    }
  }
  const int fd = opened ? opened.get() : STDIN_FILENO;
  std::array<char, 0x10000> block{};
  std::string name;
  std::size_t count = 0;
  const auto give = [&] {
    ++count;
    if (name.empty()) {
      sink.Trouble(shown + ":" + std::to_string(count), "invalid zero-length file name", 0);
    } else {
      Visit(name, recursive, sink);
    }
    name.clear();
  };
  while (!sink.Stopping()) {
    const ssize_t got = ::read(fd, block.data(), block.size());
    if (got < 0 && errno == EINTR) {
      continue;  // a signal: the loop asks whether to stop
    }
    if (got < 0) {
      sink.Trouble(shown, "cannot read list", errno);
      return;
    }
    if (got == 0) {
      if (!name.empty()) {
        give();
      }
      return;
    }
    for (const char c : std::string_view(block.data(), static_cast<std::size_t>(got))) {
      if (c != '\0') {
        name += c;
      } else if (!sink.Stopping()) {
        give();
      }
    }
  }
}

}  // namespace zavevuv::cli
