// SPDX-License-Identifier: MIT
// What the command line does besides a single repair: the usage text and
// list mode.
#include <array>
#include <string>
#include <string_view>

#include "output.h"
#include "version.h"
#include "zavevuv.h"

namespace zavevuv {

void PrintUsage() {
  // Each piece is followed by one line feed, so a piece ending in "\n" is
  // followed by an empty line.
  const std::string banner =
      "\nzavevuv_32uvo " + std::string(kVersion) + " - WAV data length fixer\n";
  const std::array<std::string_view, 11> kPieces = {
      banner,
      "This program will fix a wavefile header that indicates an incorrect file length.\n",
      ("If you enter a single wavefile as the command line argument, one file will be "
       "checked/fixed.\n"),
      "Example:",
      "zavevuv_32uvo guitar.wav",
      "",
      "If you enter 2 command line arguments:\n",
      "Argument 1 is a text file containing a list of wavefiles (512 max), each on a new line.",
      "Argument 2 is the directory of the wavefiles.  Include the slash.\n",
      "Example:",
      "zavevuv_32uvo mylist.txt WaveFiles/\n",
  };
  std::string usage;
  for (const std::string_view piece : kPieces) {
    usage += piece;
    usage += '\n';
  }
  Say(usage);
}

int RunList(const char* listPath, const std::string& prefix) {
  const FileList list = ReadList(listPath);
  switch (list.status) {
    case ListStatus::CannotOpen:
      Say(Format("List called %s does not exist\n", listPath));
      return 1;
    case ListStatus::CannotRead:
      Say(Format("List called %s cannot be read\n", listPath));
      return 1;
    case ListStatus::Read:
      break;
  }
  Say(Format("Read a list containing %i files\n", std::to_string(list.names.size())));
  if (list.names.empty()) {
    return 1;
  }
  // The prefix is put directly in front of each name: no slash is added.
  for (const std::string& name : list.names) {
    FIX_SIZE(prefix + name);
  }
  if (list.more) {
    Say(Format("List called %s names more than 512 files; the rest were not checked.\n", listPath));
  }
  return 0;
}

}  // namespace zavevuv
