// SPDX-License-Identifier: MIT
// A path resolved so that, run as root, no other user's symbolic link leads
// the tool anywhere: the rule some web servers apply, to every component.
#pragma once

#include "fd.h"

namespace zavevuv {

// The file `path` names, opened O_PATH (which reaches no driver). Run as
// root, a symbolic link in any component is followed only when root or the
// owner of what it names owns it, and each directory on the way is held by a
// descriptor, so a folder renamed to a link between two steps cannot redirect
// the walk; a link that breaks the rule gives ENOENT. Another user's link is
// resolved with that user's rights (see AsUser). As anyone else the
// kernel's permissions are the rule. Whether we are root is asked each call,
// unless a command asked once for its run (AskRootOnceForTheRun).
Fd OpenPath(const char* path);

// For a command's run, whose identity never changes: whether it runs as root
// is asked once, here, rather than for every path (a library host may drop
// root between two calls, so the library itself asks each time).
void AskRootOnceForTheRun();

}  // namespace zavevuv
