// SPDX-License-Identifier: MIT
// zavevuv_32uvo: repairs the data length in WAV file headers.
//   zavevuv_32uvo FILE.wav         checks and repairs one file
//   zavevuv_32uvo LIST PREFIX      every name in LIST, with PREFIX put before it
// The same run as zavevuv's, in this command's own words and statuses.
#include "fd.h"
#include "hold.h"
#include "list.h"
#include "open_path.h"
#include "run.h"
#include "say.h"
#include "stops.h"

int main(int argc, char* argv[]) {
  using namespace zavevuv::cli;
  GuardStandardDescriptors();
  if (argc != 2 && argc != 3) {
    Say(Stream::Out, Usage());  // none, or three or more (a user who meant several files)
    return 1;
  }
  zavevuv::HoldLeaseBreaksForTheRun();  // one thread: a lease break never ends the run
  zavevuv::AskRootOnceForTheRun();      // nor does it change who it runs as
  CatchStops();
  zavevuv::GiveWayTo([] { return StopSignal() != 0; });  // no wait outlasts a stop
  Options options;
  options.dialect = Dialect::Classic;
  if (argc == 3) {
    options.list = argv[1];
    options.prefix = argv[2];  // put directly in front of each name: no slash added
  }
  Run run(options);
  if (argc == 2) {
    run.FIX_SIZE(argv[1], true);
  } else {
    ReadList(options, run);
  }
  return run.Finish();
}
