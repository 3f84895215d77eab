// SPDX-License-Identifier: MIT
// zavevuv: checks and repairs the size fields of many WAVE files at once.
//   zavevuv [OPTION]... FILE...
#include "fd.h"
#include "hold.h"
#include "open_path.h"
#include "output.h"
#include "run.h"
#include "stops.h"

int main(int argc, char* argv[]) {
  using namespace zavevuv::cli;
  zavevuv::GuardStandardDescriptors();
  zavevuv::HoldLeaseBreaksForTheRun();  // one thread: a lease break never ends the run
  zavevuv::AskRootOnceForTheRun();      // nor does it change who it runs as
  Options options;
  switch (Parse(argc, argv, options)) {
    case Request::Help:
      PrintHelp();
      return zavevuv::OutputLost() ? 2 : 0;
    case Request::Version:
      PrintVersion();
      return zavevuv::OutputLost() ? 2 : 0;
    case Request::Usage:
      return 2;
    case Request::Run:
      break;
  }
  CatchStops();
  zavevuv::GiveWayTo([] { return StopSignal() != 0; });  // no wait outlasts a stop
  Run run(options);
  if (options.files0 != nullptr) {
    VisitList(options.files0, options, run);
  }
  for (const char* operand : options.operands) {
    if (run.Stopping()) {
      break;
    }
    Visit(operand, options, run);
  }
  return run.Finish();
}
