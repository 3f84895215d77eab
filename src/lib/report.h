// SPDX-License-Identifier: MIT
// What the C interface hands back: the caller's report or plan filled as far
// as the caller's struct reaches, and no exception.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <new>

#include "codes.h"
#include "repair.h"
#include "zavevuv.h"

namespace zavevuv {

// Whether the caller's struct (when it passed one) holds `size` and
// `outcome`: the least a call may fill.
template <typename T>
bool Fits(const T* to) {
  return to == nullptr || to->size >= offsetof(T, outcome) + sizeof to->outcome;
}

// Copies the part of `full` that lies within the size the caller declared in
// `to`, past that size itself, and writes back how much that was: a program
// built with an older, smaller struct gets what it knows of, one built with
// a newer one learns what was left alone. Nothing when the caller passed
// none, or one that does not Fit.
template <typename T>
void Give(T* to, const T& full) {
  if (to == nullptr || !Fits(to)) {
    return;
  }
  const std::size_t filled = to->size < sizeof(T) ? to->size : sizeof(T);
  std::memcpy(reinterpret_cast<unsigned char*>(to) + sizeof to->size,
              reinterpret_cast<const unsigned char*>(&full) + sizeof to->size,
              filled - sizeof to->size);
  to->size = filled;
}

// Fills the caller's report (when there is one) with `code`, the errno of a
// failure, and what `result` found; returns `code`.
int Report(zavevuv_report* to, int code, const Result* result);

// Runs `call` (which gives a Result) and reports it, with errno cleared first
// so that only this call's failure is reported, and memory running out as an
// outcome: no exception leaves the library.
template <typename Call>
int Run(zavevuv_report* report, Call call) {
  if (!Fits(report)) {
    return ZAVEVUV_INVALID;
  }
  errno = 0;
  try {
    const Result result = call();
    return Report(report, Code(result.outcome), &result);
  } catch (const std::bad_alloc&) {  // the one exception the repair can meet
    errno = ENOMEM;
    return Report(report, ZAVEVUV_NO_MEMORY, nullptr);
  }
}

// zavevuv_check for an entry its folder listed as a regular file (see
// OnEntry): what a command's walk asks of each file, at the cost of one open,
// one fstat and one read. Not in the C interface: only a walk knows the
// entry is a regular file, which opening it at once relies on.
int CheckEntry(int folder, const char* name, zavevuv_report* report, const Like* like = nullptr);

// zavevuv_check_like and zavevuv_rebuild (`mode`) with a take read once
// (ReadLike), or with none for a guess: a command's files under --like, and
// those it names, or that are named as audio is.
int WithLike(const char* path, const Like& like, Mode mode, zavevuv_report* report);

}  // namespace zavevuv
