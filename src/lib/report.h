// SPDX-License-Identifier: MIT
// What the C interface hands back: the outcome's code, and the caller's
// report or plan filled as far as the caller's struct reaches.
#pragma once

#include <cstring>

#include "outcome.h"
#include "repair.h"
#include "zavevuv.h"

namespace zavevuv {

int Code(Outcome outcome);

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

}  // namespace zavevuv
