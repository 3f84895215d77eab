// SPDX-License-Identifier: MIT
#include "as_user.h"

#include <grp.h>
#include <pwd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace zavevuv {
namespace {

constexpr gid_t kNoGroup = 65534;
constexpr auto kAsk = static_cast<unsigned>(-1);  // setfsuid(-1) changes nothing, tells the id

bool SetGroups(const std::vector<gid_t>& groups) {
  return ::syscall(SYS_setgroups, groups.size(), groups.data()) == 0;
}

gid_t FsGid() { return static_cast<gid_t>(::syscall(SYS_setfsgid, kAsk)); }

// The groups `uid` belongs to as its account says, the primary one first.
std::vector<gid_t> GroupsOf(uid_t uid) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  while (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
    buffer.resize(buffer.size() * 2);
  }
  if (found == nullptr) {
    return {kNoGroup};
  }
  std::vector<gid_t> groups(64);
  for (int n = static_cast<int>(groups.size());
       ::getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &n) < 0;) {
    groups.resize(static_cast<std::size_t>(n));
  }
  // getgrouplist puts the primary group among the others; it goes first.
  std::erase(groups, entry.pw_gid);
  groups.insert(groups.begin(), entry.pw_gid);
  return groups;
}

}  // namespace

uid_t AsUser::FsUid() { return static_cast<uid_t>(::syscall(SYS_setfsuid, kAsk)); }

AsUser::AsUser(uid_t uid) : uid_(FsUid()), gid_(FsGid()) {
  const int count = ::getgroups(0, nullptr);
  groups_.resize(static_cast<std::size_t>(count < 0 ? 0 : count));
  if (count < 0 || ::getgroups(count, groups_.data()) != count) {
    return;  // nothing changed, and nothing to put back
  }
  changed_ = true;
  std::vector<gid_t> theirs = GroupsOf(uid);
  const gid_t primary = theirs.front();
  theirs.erase(theirs.begin());
  ::syscall(SYS_setfsgid, primary);
  ::syscall(SYS_setfsuid, uid);
  taken_ = SetGroups(theirs) && FsGid() == primary && FsUid() == uid;
}

AsUser::~AsUser() {
  if (!changed_) {
    return;
  }
  const int saved = errno;
  ::syscall(SYS_setfsuid, uid_);
  ::syscall(SYS_setfsgid, gid_);
  static_cast<void>(SetGroups(groups_));
  errno = saved;
}

}  // namespace zavevuv
