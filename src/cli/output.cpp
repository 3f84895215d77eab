// SPDX-License-Identifier: MIT
#include "output.h"

#include <fcntl.h>
#include <unistd.h>

#include "fd.h"

namespace zavevuv {
namespace {

bool lost = false;

}  // namespace

std::string Format(std::string_view format, std::initializer_list<std::string_view> args) {
  std::string line;
  const auto* arg = args.begin();
  for (std::size_t at = 0; at < format.size(); ++at) {
    const std::string_view rest = format.substr(at);
    if (arg != args.end() && (rest.starts_with("%s") || rest.starts_with("%i"))) {
      line += *arg++;
      ++at;
    } else {
      line += format[at];
    }
  }
  return line;
}

void Say(std::string_view text) {
  if (!WriteAll(STDOUT_FILENO, text)) {
    lost = true;  // nothing goes to standard error; the exit status tells
  }
}

bool OutputLost() { return lost; }

void GuardStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) < 0) {
      // Lowest free descriptor: this one. Kept open for the whole run.
      static_cast<void>(::open("/dev/null", fd == STDOUT_FILENO ? O_RDONLY : O_RDWR));
    }
  }
}

}  // namespace zavevuv
