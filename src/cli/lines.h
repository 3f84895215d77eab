// SPDX-License-Identifier: MIT
// What the zavevuv command says of one file: its verdict, the text line, the
// JSON object and the diagnostic, all from the library's report.
#pragma once

#include <string>

#include "zavevuv.h"

namespace zavevuv::cli {

enum class Verdict {
  Correct,      // every size field is right
  Repaired,     // it was not, and is now
  NeedsRepair,  // a check: a repair would write
  Unfixable,    // a WAVE file whose sizes no repair here can make true
  NotWave,      // not a WAVE file
  Failed,       // it could not be opened, read or written
};

Verdict Judge(const zavevuv_report& report, bool check);

// The exit status a verdict asks for: 0, 1 or 2.
int StatusOf(Verdict verdict);

// Whether the report says a repair would write.
bool NeedsWrite(const zavevuv_report& report);

// "PATH: correct" and the like, with a line feed; for a Failed verdict the
// diagnostic, "zavevuv: PATH: REASON: STRERROR". A folder named without
// `recursive` is said to be one.
std::string TextLine(const std::string& path, const zavevuv_report& report, bool check,
                     bool recursive);

// The same as one JSON object on a line.
std::string JsonLine(const std::string& path, const zavevuv_report& report, bool check);

// "zavevuv: PATH: REASON[: STRERROR]" with a line feed; no STRERROR for 0.
std::string Diagnostic(const std::string& path, const char* reason, int error);

// "1,234,560".
std::string Grouped(std::uint64_t n);

}  // namespace zavevuv::cli
