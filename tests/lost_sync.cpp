// SPDX-License-Identifier: MIT
// Loaded with LD_PRELOAD by the command-line test: every pwrite is accepted
// and then lost, and fdatasync reports it, as on a disk that fails when the
// page cache is flushed.
#include <sys/types.h>

#include <cerrno>
#include <cstddef>

extern "C" {
ssize_t pwrite(int /*fd*/, const void* /*buf*/, std::size_t n, off_t /*offset*/) {
  return static_cast<ssize_t>(n);
}
ssize_t pwrite64(int /*fd*/, const void* /*buf*/, std::size_t n, off_t /*offset*/) {
  return static_cast<ssize_t>(n);
}
int fdatasync(int /*fd*/) {
  errno = EIO;
  return -1;
}
}
