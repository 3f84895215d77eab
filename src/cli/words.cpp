// SPDX-License-Identifier: MIT
#include "words.h"

#include <array>
#include <string_view>

#include "lines.h"
#include "text.h"

namespace zavevuv::cli {
namespace {

bool Classic(const Options& options) { return options.dialect == Dialect::Classic; }

// zavevuv_32uvo: one line on standard output whatever happened; a name's
// control bytes escaped, its backslashes as they are.
Shown ClassicFile(const std::string& path, const zavevuv_report& r) {
  const bool known = r.outcome >= 0 && r.outcome < static_cast<int>(kOutcomeWords.size());
  const int code = known ? r.outcome : ZAVEVUV_READ_FAILED;
  const OutcomeWords& words = kOutcomeWords[static_cast<std::size_t>(code)];
  return {words.verdict, 0, Format(words.classic, {Escaped(path, false)}), {}};
}

int StatusOf(Verdict verdict) {
  switch (verdict) {
    case Verdict::NeedsRepair:
    case Verdict::Unfixable:
      return 1;
    case Verdict::Failed:
      return 2;
    default:
      return 0;
  }
}

// zavevuv: a line on standard output (the text line, or the JSON object),
// a diagnostic on standard error for a failure; nothing for a correct file
// under -q, nor for a file a walk met that is not audio.
Shown GnuFile(const std::string& path, const zavevuv_report& r, const Options& options,
              bool named) {
  const Verdict verdict = VerdictOf(r, options.check);
  Shown shown{verdict, StatusOf(verdict), {}, {}};
  const bool silent = verdict == Verdict::Correct || verdict == Verdict::NotAudio;
  if ((verdict == Verdict::NotAudio && !named) || (options.quiet && silent)) {
    return shown;
  }
  if (options.json) {
    shown.out = JsonLine(path, r, options.check, verdict == Verdict::NeedsRepair);
  }
  if (verdict == Verdict::Failed) {
    shown.err = Failure(path, r, options.recursive);
  } else if (!options.json) {
    shown.out = Line(path, r, verdict);
  }
  return shown;
}

}  // namespace

Shown ShowFile(const std::string& path, const zavevuv_report& report, const Options& options,
               bool named) {
  return Classic(options) ? ClassicFile(path, report) : GnuFile(path, report, options, named);
}

Shown ShowEvent(Event event, const std::string& path, int error, std::size_t count,
                const Options& options) {
  const EventWords& words = kEventWords[static_cast<std::size_t>(event)];
  if (Classic(options)) {
    const std::string n = std::to_string(event == Event::ListCount ? count : kMaxNames);
    const int status = event == Event::ListCount && count == 0 ? 1 : words.classicStatus;
    const std::string name = Escaped(path, false);
    return {
        Verdict::Failed,
        status,
        event == Event::ListCount ? Format(words.classic, {n}) : Format(words.classic, {name, n}),
        {}};
  }
  Shown shown{Verdict::Failed, 2, {}, Diagnostic(path, words.reason, error)};
  if (options.json) {
    zavevuv_report report{};
    report.outcome = error != 0 ? ZAVEVUV_CANNOT_OPEN : ZAVEVUV_INVALID;
    report.error = error;
    report.data_chunk = report.frames = report.stated_frames = ZAVEVUV_UNKNOWN;
    shown.out = JsonLine(path, report, options.check, false);
  }
  return shown;
}

int LostOutputStatus(const Options& options) { return Classic(options) ? 1 : 2; }

std::string Usage() {
  // Each piece is followed by one line feed, so a piece ending in "\n" is
  // followed by an empty line.
  const std::string banner =
      "\nzavevuv_32uvo " + std::string(ZAVEVUV_VERSION_STRING) + " - WAV data length fixer\n";
  const std::string most = Format(
      "Argument 1 is a text file containing a list of wavefiles (%i max), each on a new line.",
      {std::to_string(kMaxNames)});
  const std::array<std::string_view, 11> kPieces = {
      banner,
      "This program will fix a wavefile header that indicates an incorrect file length.\n",
      ("If you enter a single wavefile as the command line argument, one file will be "
       "checked/fixed.\n"),
      "Example:",
      "zavevuv_32uvo guitar.wav",
      "",
      "If you enter 2 command line arguments:\n",
      most,
      "Argument 2 is the directory of the wavefiles.  Include the slash.\n",
      "Example:",
      "zavevuv_32uvo mylist.txt WaveFiles/\n",
  };
  std::string usage;
  for (const std::string_view piece : kPieces) {
    usage += piece;
    usage += '\n';
  }
  return usage;
}

}  // namespace zavevuv::cli
