// SPDX-License-Identifier: MIT
#include "say.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "fd.h"

namespace zavevuv::cli {
namespace {

bool lost = false;
bool closed = false;

}  // namespace

void Say(Stream stream, std::string_view text) {
  if (stream == Stream::Err) {
    static_cast<void>(WriteAll(STDERR_FILENO, text));  // nowhere to say it was lost
    return;
  }
  if (!WriteAll(STDOUT_FILENO, text)) {
    lost = true;  // the exit status tells
    closed = closed || errno == EPIPE;
  }
}

bool OutputLost() { return lost; }

bool OutputClosed() { return closed; }

void GuardStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) < 0) {
      // Lowest free descriptor: this one. Kept open for the whole run.
      static_cast<void>(::open("/dev/null", fd == STDOUT_FILENO ? O_RDONLY : O_RDWR));
    }
  }
}

}  // namespace zavevuv::cli
