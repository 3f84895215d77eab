// SPDX-License-Identifier: MIT
#include "open_path.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "as_user.h"

namespace zavevuv {
namespace {

constexpr int kMaxLinks = 40;  // the kernel's own limit

int rootForRun = -1;  // a command's answer, asked once; -1: ask each time

bool AsRoot() { return rootForRun >= 0 ? rootForRun == 1 : ::geteuid() == 0; }

// The path with no symbolic link in it at all: one system call, as almost
// every path is. Nothing (ELOOP) where it meets a link.
Fd WithoutLinks(const char* path) {
  open_how how{};
  how.flags = O_PATH | O_CLOEXEC;
  how.resolve = RESOLVE_NO_SYMLINKS;
  long fd = -1;
  do {
    fd = ::syscall(SYS_openat2, AT_FDCWD, path, &how, sizeof how);
  } while (fd < 0 && errno == EINTR);
  return Fd(static_cast<int>(fd));
}

// What the link that `link` (O_PATH, not followed) is says.
std::string Target(const Fd& link, const struct stat& st) {
  std::string target(static_cast<std::size_t>(st.st_size) + 1, '\0');
  const ssize_t n = ::readlinkat(link.get(), "", target.data(), target.size());
  if (n < 0 || static_cast<std::size_t>(n) >= target.size()) {
    return {};  // gone, or changed since the fstat: no such file
  }
  target.resize(static_cast<std::size_t>(n));
  return target;
}

// Whether `fd` lies on /proc.
bool OnProc(const Fd& fd) {
  struct statfs fs {};
  return ::fstatfs(fd.get(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

Fd Walk(Fd from, std::string_view path, int& links);

// A link's target resolved from `here`, the folder that holds the link. A
// link of another user's is resolved with that user's rights, so that it
// leads nowhere its owner could not go: a target that passes through a
// folder only others may search, and comes back by "..", would otherwise
// tell its owner, by what becomes of their file, what that folder holds.
Fd Follow(const Fd& here, const std::string& target, uid_t owner, int& links) {
  Fd from(::fcntl(here.get(), F_DUPFD_CLOEXEC, 0));
  if (owner == 0 || owner == AsUser::FsUid()) {
    return Walk(std::move(from), target, links);
  }
  const AsUser user(owner);
  if (!user) {
    errno = EACCES;
    return {};
  }
  return Walk(std::move(from), target, links);
}

// `path` resolved from the directory `from`, a component at a time.
Fd Walk(Fd from, std::string_view path, int& links) {
  if (path.empty()) {
    errno = ENOENT;
    return {};
  }
  Fd here = path.front() == '/' ? Fd::Open("/", O_PATH | O_DIRECTORY | O_CLOEXEC) : std::move(from);
  for (std::size_t at = 0; here;) {
    at = path.find_first_not_of('/', at);
    if (at == std::string_view::npos) {
      return here;  // the folder itself, as a trailing slash names it
    }
    const std::size_t end = std::min(path.find('/', at), path.size());
    const std::string name(path.substr(at, end - at));
    at = end;
    Fd next(::openat(here.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat link {};
    if (!next || ::fstat(next.get(), &link) != 0) {
      return {};
    }
    if (S_ISLNK(link.st_mode)) {
      const std::string target = OnProc(next) ? std::string() : Target(next, link);
      if (++links > kMaxLinks || (target.empty() && !OnProc(next))) {
        errno = links > kMaxLinks ? ELOOP : ENOENT;
        return {};
      }
      // A link of /proc (/proc/self, a descriptor's) may name no path: the
      // kernel follows it, as it is the kernel's own.
      next = target.empty() ? Fd(::openat(here.get(), name.c_str(), O_PATH | O_CLOEXEC))
                            : Follow(here, target, link.st_uid, links);
      struct stat named {};
      if (!next || ::fstat(next.get(), &named) != 0) {
        return {};
      }
      if (link.st_uid != 0 && link.st_uid != named.st_uid) {
        errno = ENOENT;  // another user's link: as if nothing were there
        return {};
      }
    }
    here = std::move(next);
  }
  return {};
}

}  // namespace

Fd OpenPath(const char* path) {
  if (!AsRoot()) {
    return Fd(::open(path, O_PATH | O_CLOEXEC));  // O_PATH never waits: no EINTR
  }
  Fd fd = WithoutLinks(path);
  if (fd || (errno != ELOOP && errno != ENOSYS)) {
    return fd;
  }
  int links = 0;
  return Walk(Fd(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC)), path, links);
}

void AskRootOnceForTheRun() { rootForRun = ::geteuid() == 0 ? 1 : 0; }

}  // namespace zavevuv
