// SPDX-License-Identifier: MIT
// A list of names, as either command opens one: under root's rule for
// links, and never a device that acts on being opened.
#pragma once

#include <cstddef>

#include "fd.h"

namespace zavevuv {

// The longest name a list may hold: PATH_MAX less its NUL.
inline constexpr std::size_t kLongestName = 4095;

struct ListFile {
  enum class State {
    Opened,
    Missing,   // nothing by that name, under root's rule for links (errno)
    Device,    // a device that may act on being opened: never opened
    NoWriter,  // a named pipe that no process opened for writing in time
    Stopped,   // a stop signal came while a pipe was waited on
    Failed,    // it could not be opened (errno)
  } state = State::Failed;
  Fd fd;
  int error = 0;
};

// A regular file, a pipe or named pipe, a socket, /dev/null or a terminal,
// opened for reading. A named pipe is waited on for a writer for about 2
// seconds, as a file under another process's lease is, and no longer once
// the run is stopping (GiveWayTo).
ListFile OpenList(const char* path);

}  // namespace zavevuv
