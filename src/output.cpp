#include "output.h"

#include <unistd.h>

#include "fd.h"

namespace zavevuv {

std::string Format(std::string_view format, std::string_view arg) {
  std::string line(format);
  for (std::size_t at = line.find('%'); at != std::string::npos; at = line.find('%', at + 1)) {
    if (at + 1 < line.size() && (line[at + 1] == 's' || line[at + 1] == 'i')) {
      line.replace(at, 2, arg);
      break;
    }
  }
  return line;
}

void Say(std::string_view text) {
  // Nothing useful can be done when standard output is gone, and nothing is
  // ever written to standard error, so a failed write is dropped.
  static_cast<void>(WriteAll(STDOUT_FILENO, text));
}

}  // namespace zavevuv
