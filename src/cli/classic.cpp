// SPDX-License-Identifier: MIT
#include "classic.h"

#include <array>
#include <string_view>

#include "text.h"

namespace zavevuv::cli {

// A name's control bytes escaped, its backslashes as they are; the status
// 0 whatever happened to the file.
Shown ClassicFile(const std::string& path, const zavevuv_report& r, const Options& /*options*/,
                  bool /*named*/) {
  const OutcomeWords& words = WordsOf(r.outcome);
  return {words.verdict, 0, Format(words.classic, {Escaped(path, false)}), {}};
}

// A list's lines; no names at all is a run that failed.
Shown ClassicEvent(Event event, const std::string& path, int /*error*/, std::size_t count,
                   const Options& /*options*/) {
  const EventWords& words = kEventWords[static_cast<std::size_t>(event)];
  const std::string names = std::to_string(event == Event::ListCount ? count : kMaxNames);
  const int status = event == Event::ListCount && count == 0 ? 1 : words.classicStatus;
  return {Verdict::Failed,
          status,
          event == Event::ListCount ? Format(words.classic, {names})
                                    : Format(words.classic, {Escaped(path, false), names}),
          {}};
}

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
