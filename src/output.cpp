#include "output.h"

#include <unistd.h>

#include "fd.h"

namespace zavevuv {

std::string Format(std::string_view format, std::string_view arg) {
  std::string line(format);
  std::size_t at = line.find("%s");
  if (at == std::string::npos) {
    at = line.find("%i");
  }
  if (at != std::string::npos) {
    line.replace(at, 2, arg);
  }
  return line;
}

void Say(std::string_view text) {
  // Nothing useful can be done when standard output is gone, and nothing is
  // ever written to standard error, so a failed write is dropped.
  static_cast<void>(WriteAll(STDOUT_FILENO, text));
}

}  // namespace zavevuv
