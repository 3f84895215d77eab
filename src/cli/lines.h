// SPDX-License-Identifier: MIT
// zavevuv's words for one file: its verdict, its text line, its JSON object
// and its diagnostic, all from the library's report; an event's diagnostic;
// and the summary.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "words.h"
#include "zavevuv.h"

namespace zavevuv::cli {

// A file: a line on standard output (the text line, or the JSON object), a
// diagnostic on standard error for a failure; nothing for a correct file
// under -q, nor for a file a walk met that is not audio.
Shown GnuFile(const std::string& path, const zavevuv_report& r, const Options& options, bool named);

// An event: a diagnostic, and under --json its object.
Shown GnuEvent(Event event, const std::string& path, int error, std::size_t count,
               const Options& options);

Verdict VerdictOf(const zavevuv_report& r, bool check);

// "PATH: correct" and the like, with a line feed, for a file that did not fail.
std::string Line(const std::string& path, const zavevuv_report& r, Verdict verdict);

// "zavevuv: PATH: REASON[: STRERROR]" with a line feed; no STRERROR for 0.
std::string Diagnostic(const std::string& path, const char* reason, int error);

// The diagnostic of a file that failed. `recursive`: a folder operand was
// walked, not refused.
std::string Failure(const std::string& path, const zavevuv_report& r, bool recursive);

// The JSON object of one file, on a line. `wouldFix`: a check's file that a
// repair would write, whose outcome says so in its own word.
std::string JsonLine(const std::string& path, const zavevuv_report& r, bool check, bool wouldFix);

// " (6.43 s)", rounded to the hundredth, where the count and the rate are
// known.
std::string Duration(std::uint64_t frames, std::uint32_t rate);

// A file whose header is gone (gone.cpp): how its audio reads ("16-bit
// little-endian PCM, 2 channels"); the rebuild made, or under a check the
// one that would be; why none was, or with no take what to do.
std::string ReadsAs(const zavevuv_report& r);
std::string Rebuilt(const zavevuv_report& r, bool check);
std::string Gone(const zavevuv_report& r);

// Files seen, of each verdict.
using Seen = std::array<std::uint64_t, static_cast<std::size_t>(Verdict::Failed) + 1>;

// "zavevuv: N files: ..." with a line feed; the progress line's counts.
std::string Summary(const Seen& seen, std::uint64_t skipped, bool check);
std::string Progress(const Seen& seen, bool check);

}  // namespace zavevuv::cli
