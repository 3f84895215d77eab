// SPDX-License-Identifier: MIT
// Root acting, for a moment and in the calling thread alone, with another
// user's rights in the file system.
#pragma once

#include <sys/types.h>

#include <vector>

namespace zavevuv {

// Takes the file-system identity of `uid` in this thread: its fsuid, its
// primary group as fsgid and its supplementary groups (none, and the group
// nogroup, for a uid with no account), by raw system calls, since glibc's
// wrappers change every thread of the process. The identity before is back
// when this goes, errno kept.
class AsUser {
 public:
  explicit AsUser(uid_t uid);
  AsUser(const AsUser&) = delete;
  AsUser& operator=(const AsUser&) = delete;
  ~AsUser();

  // Whether the user's identity was taken whole.
  explicit operator bool() const noexcept { return taken_; }

  // The file-system uid of this thread now.
  static uid_t FsUid();

 private:
  uid_t uid_;
  gid_t gid_;
  std::vector<gid_t> groups_;
  bool changed_ = false;  // the identity before was read, and may have been left
  bool taken_ = false;
};

}  // namespace zavevuv
