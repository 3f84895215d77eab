// SPDX-License-Identifier: MIT
#include "walk.h"

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
    sink.Tell(Event::FolderCannotRead, path, errno);
    return;
  }
  static_cast<void>(fd.Release());  // the DIR owns it now
  std::vector<Entry> entries;
  if (!List(folder, entries)) {
    sink.Tell(Event::FolderCannotRead, path, errno);
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
        sink.Tell(Event::FolderCannotOpen, child, errno);
      }
    } else if (type == DT_REG) {
      sink.Entry(at, entry.name, child);
    } else {
      sink.Skipped();
    }
  }
  ::closedir(folder);
}

}  // namespace

void Visit(const std::string& operand, const Options& options, Sink& sink) {
  if (options.recursive) {
    // Under root's rule for links, as the library opens a file.
    const Fd named = OpenPath(operand.c_str());
    struct stat st {};
    if (named && Stat(named, st) && S_ISDIR(st.st_mode)) {
      Fd folder = Reopen(named, st, operand.c_str(), O_RDONLY | O_DIRECTORY);
      if (!folder) {
        sink.Tell(Event::FolderCannotOpen, operand, errno);
        return;
      }
      const std::uint64_t mount = options.oneFileSystem ? MountOf(folder.get()) : 0;
      Walk(std::move(folder), operand, mount, sink);
      return;
    }
  }
  sink.FIX_SIZE(operand, true);  // the library says what it is
}

}  // namespace zavevuv::cli
