// SPDX-License-Identifier: MIT
// The C interface's outcome codes for the outcomes, both ways, from one
// table, and its codes for what a file's first bytes are.
#pragma once

#include <array>
#include <utility>

#include "outcome.h"
#include "plan.h"
#include "zavevuv.h"

namespace zavevuv {

inline constexpr std::array<std::pair<Outcome, int>, 9> kCodes{{
    {Outcome::Correct, ZAVEVUV_CORRECT},
    {Outcome::Fixed, ZAVEVUV_FIXED},
    {Outcome::ToEnd, ZAVEVUV_TO_END},
    {Outcome::TooLarge, ZAVEVUV_TOO_LARGE},
    {Outcome::Truncated, ZAVEVUV_TRUNCATED},
    {Outcome::NoDataChunk, ZAVEVUV_NO_DATA_CHUNK},
    {Outcome::CannotOpen, ZAVEVUV_CANNOT_OPEN},
    {Outcome::ReadFailed, ZAVEVUV_READ_FAILED},
    {Outcome::WriteFailed, ZAVEVUV_WRITE_FAILED},
}};

constexpr int Code(Outcome outcome) {
  for (const auto& [from, code] : kCodes) {
    if (from == outcome) {
      return code;
    }
  }
  return ZAVEVUV_READ_FAILED;
}

// The outcome whose message the command prints for `code`: memory running
// out as a failed read, an invalid call as a file that cannot be opened.
constexpr Outcome OutcomeOf(int code) {
  for (const auto& [outcome, to] : kCodes) {
    if (to == code) {
      return outcome;
    }
  }
  return code == ZAVEVUV_INVALID ? Outcome::CannotOpen : Outcome::ReadFailed;
}

// The report's code for what a file's first bytes are.
constexpr int KindCode(HeaderKind kind) {
  switch (kind) {
    case HeaderKind::NotWave:
      return ZAVEVUV_KIND_NOT_WAVE;
    case HeaderKind::Riff:
      return ZAVEVUV_KIND_RIFF;
    case HeaderKind::Wide:
      return ZAVEVUV_KIND_RF64;
    case HeaderKind::Unknown:
      break;
  }
  return ZAVEVUV_KIND_UNKNOWN;
}

}  // namespace zavevuv
