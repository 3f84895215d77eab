// SPDX-License-Identifier: MIT
// The options of the zavevuv command, parsed as the GNU tools parse theirs.
#pragma once

#include <vector>

namespace zavevuv::cli {

struct Options {
  bool check = false;                 // -n: look only
  bool recursive = false;             // -r: walk folders
  bool oneFileSystem = false;         // -x: no other mount entered in a walk
  bool quiet = false;                 // -q: only repairs, needed or made, and failures
  bool json = false;                  // --json: one object per file
  const char* files0 = nullptr;       // --files0-from: names from here ("-": standard input)
  unsigned jobs = 0;                  // -j: files handled at once; 0: as many as suit a repair
  std::vector<const char*> operands;  // in order
};

// What the command line asks for; Usage when it is wrong, after saying why on
// standard error.
enum class Request { Run, Help, Version, Usage };

Request Parse(int argc, char** argv, Options& options);

void PrintHelp();
void PrintVersion();

}  // namespace zavevuv::cli
