// SPDX-License-Identifier: MIT
// zavevuv_32uvo: repairs the data length in WAV file headers.
//   zavevuv_32uvo FILE.wav         checks and repairs one file
//   zavevuv_32uvo LIST PREFIX      every name in LIST, with PREFIX put before it
#include "hold.h"
#include "open_path.h"
#include "output.h"
#include "tool.h"

int main(int argc, char* argv[]) {
  zavevuv::GuardStandardDescriptors();
  zavevuv::HoldLeaseBreaksForTheRun();  // one thread: a lease break never ends the run
  zavevuv::AskRootOnceForTheRun();      // nor does it change who it runs as
  int status = 1;
  switch (argc - 1) {
    case 1:
      zavevuv::FIX_SIZE(argv[1]);
      status = 0;
      break;
    case 2:
      status = zavevuv::RunList(argv[1], argv[2]);
      break;
    default:
      zavevuv::PrintUsage();  // none, or three or more (a user who meant several files)
      break;
  }
  // A message that could not be written fails the run, as in the coreutils.
  return zavevuv::OutputLost() ? 1 : status;
}
