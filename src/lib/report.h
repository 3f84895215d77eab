// SPDX-License-Identifier: MIT
// What the C interface hands back: the caller's report or plan filled as far
// as the caller's struct reaches, and no exception.
#pragma once

#include <cerrno>
#include <cstring>

#include "codes.h"
#include "repair.h"
#include "zavevuv.h"

namespace zavevuv {

// Copies the part of `full` that lies within the size the caller declared in
// `to`, past that size itself, which stays the caller's: a program built
// with an older, smaller struct gets what it knows of. Nothing when the
// caller passed none.
template <typename T>
void Give(T* to, const T& full) {
  if (to == nullptr || to->size <= sizeof to->size) {
    return;
  }
  const std::size_t n = (to->size < sizeof(T) ? to->size : sizeof(T)) - sizeof to->size;
  std::memcpy(reinterpret_cast<unsigned char*>(to) + sizeof to->size,
              reinterpret_cast<const unsigned char*>(&full) + sizeof to->size, n);
}

// Fills the caller's report (when there is one) with `code`, the errno of a
// failure, and what `result` found; returns `code`.
int Report(zavevuv_report* to, int code, const Result* result);

// Runs `call` (which gives a Result) and reports it, with errno cleared first
// so that only this call's failure is reported, and memory running out as an
// outcome: no exception leaves the library.
template <typename Call>
int Run(zavevuv_report* report, Call call) {
  errno = 0;
  try {
    const Result result = call();
    return Report(report, Code(result.outcome), &result);
  } catch (...) {  // all the standard library throws here is for memory
    errno = ENOMEM;
    return Report(report, ZAVEVUV_NO_MEMORY, nullptr);
  }
}

}  // namespace zavevuv
