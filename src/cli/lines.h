// SPDX-License-Identifier: MIT
// What the zavevuv command says of one file: its verdict, the text line, the
// JSON object and the diagnostic, all from the library's report.
#pragma once

#include <string>

#include "options.h"
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

// What a run says of one file, under its options: the verdict and the
// exit status it asks for, and the lines to print, each empty where there
// is none (-q, a file a walk passes over).
struct Shown {
  Verdict verdict = Verdict::Failed;
  int status = 2;   // 0, 1 or 2
  std::string out;  // "PATH: correct" and the like, or the JSON object
  std::string err;  // the diagnostic of a failure: "zavevuv: PATH: REASON: STRERROR"
};

// The one step from a file's report to what is said of it. `named`: an
// operand as it was named (a walk passes over files that are not WAVE).
Shown ShowFile(const std::string& path, const zavevuv_report& report, const Options& options,
               bool named);

// The same for a folder or list that could not be read: `error` its errno, or 0.
Shown ShowTrouble(const std::string& path, const char* reason, int error, const Options& options);

// The JSON object of one file, on a line.
std::string JsonLine(const std::string& path, const zavevuv_report& report, bool check);

// "1,234,560".
std::string Grouped(std::uint64_t n);

}  // namespace zavevuv::cli
