// zavevuv_32uvo: repairs the data length in WAV file headers.
//   zavevuv_32uvo FILE.wav         checks and repairs one file
//   zavevuv_32uvo LIST PREFIX      every name in LIST, with PREFIX put before it
#include "zavevuv.h"

int main(int argc, char* argv[]) {
  switch (argc - 1) {
    case 1:
      zavevuv::FIX_SIZE(argv[1]);
      return 0;
    case 2:
      return zavevuv::RunList(argv[1], argv[2]);
    default:
      zavevuv::PrintUsage();  // none, or three or more (a user who meant several files)
      return 1;
  }
}
