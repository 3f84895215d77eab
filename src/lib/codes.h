// SPDX-License-Identifier: MIT
// The C interface's codes: the outcomes' codes and names, both ways, from
// one table, and the codes for what a file's first bytes are.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "outcome.h"
#include "plan.h"
#include "zavevuv.h"

namespace zavevuv {

// Each code of the C interface, in the order of their values: its name,
// and the outcome whose message the command prints for it (memory running
// out as a failed read, an invalid call as a file that cannot be opened).
struct CodeEntry {
  const char* name;
  Outcome outcome;
};

inline constexpr std::array<CodeEntry, ZAVEVUV_HEADER_GONE + 1> kCodes{{
    {"correct", Outcome::Correct},
    {"fixed", Outcome::Fixed},
    {"to-end", Outcome::ToEnd},
    {"too-large", Outcome::TooLarge},
    {"truncated", Outcome::Truncated},
    {"no-data-chunk", Outcome::NoDataChunk},
    {"cannot-open", Outcome::CannotOpen},
    {"read-failed", Outcome::ReadFailed},
    {"write-failed", Outcome::WriteFailed},
    {"no-memory", Outcome::ReadFailed},
    {"invalid", Outcome::CannotOpen},
    {"busy", Outcome::Busy},
    {"header-gone", Outcome::HeaderGone},
}};
static_assert(std::string_view(kCodes[ZAVEVUV_WRITE_FAILED].name) == "write-failed" &&
              std::string_view(kCodes[ZAVEVUV_INVALID].name) == "invalid" &&
              std::string_view(kCodes[ZAVEVUV_BUSY].name) == "busy" &&
              std::string_view(kCodes[ZAVEVUV_HEADER_GONE].name) == "header-gone");

// The code of an outcome: the first that names it.
constexpr int Code(Outcome outcome) {
  for (std::size_t code = 0; code < kCodes.size(); ++code) {
    if (kCodes[code].outcome == outcome) {
      return static_cast<int>(code);
    }
  }
  return ZAVEVUV_READ_FAILED;
}

constexpr Outcome OutcomeOf(int code) {
  return code >= 0 && code < static_cast<int>(kCodes.size())
             ? kCodes[static_cast<std::size_t>(code)].outcome
             : Outcome::ReadFailed;
}

// The report's code for what a file's first bytes are.
constexpr int KindCode(HeaderKind kind) {
  switch (kind) {
    case HeaderKind::NotWave:
      return ZAVEVUV_KIND_NOT_WAVE;
    case HeaderKind::Riff:
      return ZAVEVUV_KIND_RIFF;
    case HeaderKind::Rf64:
      return ZAVEVUV_KIND_RF64;
    case HeaderKind::W64:
      return ZAVEVUV_KIND_W64;
    case HeaderKind::Aiff:
      return ZAVEVUV_KIND_AIFF;
    case HeaderKind::Aifc:
      return ZAVEVUV_KIND_AIFC;
    case HeaderKind::Unknown:
      break;
  }
  return ZAVEVUV_KIND_UNKNOWN;
}

}  // namespace zavevuv
