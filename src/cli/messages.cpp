// SPDX-License-Identifier: MIT
#include "messages.h"

#include <array>

#include "output.h"
#include "tool.h"
#include "zavevuv.h"

namespace zavevuv {

std::string Message(Outcome outcome, std::string_view name) {
  const std::string path = Escaped(name, false);
  switch (outcome) {
    case Outcome::CannotOpen:
    case Outcome::Busy:  // as before the library told it apart
      return Format("File called %s cannot be found.\n", {path});
    case Outcome::ReadFailed:
      return Format("Unable to read header in %s.\n", {path});
    case Outcome::NoDataChunk:
      return "Cannot find data block in wave file!\n";
    case Outcome::Truncated:
      return Format("The header in %s is truncated.\n", {path});
    case Outcome::Correct:
      return Format("The header in %s appears to be correct.\n", {path});
    case Outcome::TooLarge:
      return Format("Data block in %s is too large for a wave file header.\n", {path});
    case Outcome::ToEnd:
      return Format(
          "Data block in %s is too large for a wave file header; its sizes now say to read to the "
          "end of the file.\n",
          {path});
    case Outcome::Fixed:
      return Format("Header was fixed successfully in %s.\n", {path});
    case Outcome::WriteFailed:
      return Format("Unable to write data to header in %s.\n", {path});
  }
  return {};
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

std::string ListCount(std::size_t names) {
  return Format("Read a list containing %i files\n", {std::to_string(names)});
}

std::string ListMissing(std::string_view list) {
  return Format("List called %s does not exist\n", {Escaped(list, false)});
}

std::string ListUnreadable(std::string_view list) {
  return Format("List called %s cannot be read\n", {Escaped(list, false)});
}

std::string ListTooLong(std::string_view list) {
  return Format("List called %s names more than %i files; the rest were not checked.\n",
                {Escaped(list, false), std::to_string(kMaxNames)});
}

}  // namespace zavevuv
