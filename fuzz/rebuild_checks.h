// SPDX-License-Identifier: MIT
// What the fuzzer checks, and how it stops on a breach.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "breach: %s\n", what);
    std::abort();
  }
}

// The rebuild from a sibling take, on `in` as a file whose header may be
// gone; `stop` chooses where a torn write of its head stops.
void CheckRebuild(const std::string& in, std::size_t stop);
