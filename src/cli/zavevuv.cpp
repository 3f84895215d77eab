// SPDX-License-Identifier: MIT
// zavevuv: checks and repairs the size fields of many audio files at once.
//   zavevuv [OPTION]... FILE...
// The same run as zavevuv_32uvo's, in this command's own words and statuses.
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
  Options options;
  switch (Parse(argc, argv, options)) {
    case Request::Help:
      PrintHelp();
      return OutputLost() ? 2 : 0;
    case Request::Version:
      PrintVersion();
      return OutputLost() ? 2 : 0;
    case Request::Usage:
      return 2;
    case Request::Run:
      break;
  }
  std::optional<zavevuv::Like> like = ReadTheLike(options);
  if (!like) {
    return 2;
  }
  zavevuv::HoldLeaseBreaksForTheRun();  // one thread: a lease break never ends the run
  zavevuv::AskRootOnceForTheRun();      // nor does it change who it runs as
  CatchStops();
  zavevuv::GiveWayTo([] { return StopSignal() != 0; });  // no wait outlasts a stop
  Run run(options, *std::move(like));
  if (options.list != nullptr) {
    ReadList(options, run);
  }
  for (const char* operand : options.operands) {
    if (run.Stopping()) {
      break;
    }
    Visit(operand, options, run);
  }
  return run.Finish();
}
