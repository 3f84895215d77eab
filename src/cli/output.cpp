// SPDX-License-Identifier: MIT
#include "output.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>

#include "fd.h"

namespace zavevuv {
namespace {

bool lost = false;
bool closed = false;

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

std::size_t Utf8At(std::string_view s, std::size_t i) {
  const auto at = [&](std::size_t k) {
    return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0U;
  };
  const unsigned b0 = at(0);
  const auto tail = [&](std::size_t k, unsigned low, unsigned high) {
    return at(k) >= low && at(k) <= high;
  };
  if (b0 < 0x80) {
    return 1;
  }
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    return tail(1, 0x80, 0xBF) ? 2 : 0;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    const unsigned low = b0 == 0xE0 ? 0xA0 : 0x80;   // no overlong form
    const unsigned high = b0 == 0xED ? 0x9F : 0xBF;  // no surrogate
    return tail(1, low, high) && tail(2, 0x80, 0xBF) ? 3 : 0;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    const unsigned low = b0 == 0xF0 ? 0x90 : 0x80;   // no overlong form
    const unsigned high = b0 == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    return tail(1, low, high) && tail(2, 0x80, 0xBF) && tail(3, 0x80, 0xBF) ? 4 : 0;
  }
  return 0;
}

std::string Escaped(std::string_view name, bool backslash) {
  std::string shown;
  for (std::size_t i = 0; i < name.size();) {
    const auto byte = static_cast<unsigned char>(name[i]);
    const std::size_t n = Utf8At(name, i);
    const std::size_t width = n == 0 ? 1 : n;  // a stray byte stands alone
    const bool control = byte < 0x20 || byte == 0x7F || (n == 0 && byte < 0xA0) || C1At(name, i, n);
    if (byte == '\\' && backslash) {
      shown += "\\\\";
    } else if (byte == '\n' || byte == '\t') {
      shown += byte == '\n' ? "\\n" : "\\t";
    } else if (control) {
      for (const char c : name.substr(i, width)) {
        std::array<char, 5> octal{};
        std::snprintf(octal.data(), octal.size(), "\\%03o", static_cast<unsigned char>(c));
        shown += octal.data();
      }
    } else {
      shown += name.substr(i, width);
    }
    i += width;
  }
  return shown;
}

void PrintOut(std::string_view text) {
  if (!WriteAll(STDOUT_FILENO, text)) {
    lost = true;  // nothing goes to standard error; the exit status tells
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

}  // namespace zavevuv
