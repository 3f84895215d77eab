// SPDX-License-Identifier: MIT
// What a run is asked to do: zavevuv_32uvo's arguments, or zavevuv's
// options parsed as the GNU tools parse theirs.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace zavevuv::cli {

// The two commands are two dialects of one run: zavevuv_32uvo's words,
// statuses and list, and zavevuv's.
enum class Dialect { Classic, Gnu };

// The most names zavevuv_32uvo takes from a list.
inline constexpr std::size_t kMaxNames = 512;

struct Options {
  Dialect dialect = Dialect::Gnu;
  bool check = false;          // -n: look only
  bool recursive = false;      // -r: walk folders
  bool oneFileSystem = false;  // -x: no other mount entered in a walk
  bool quiet = false;          // -q: only repairs, needed or made, and failures
  bool verbose = false;        // -v: the summary, even when all is well
  bool json = false;           // --json: one object per file
  const char* list = nullptr;  // zavevuv_32uvo's list, or --files0-from ("-": stdin)
  std::string prefix;          // zavevuv_32uvo: put before each listed name
  unsigned jobs = 0;           // -j: files handled at once; 0: as many as suit a repair
  const char* like = nullptr;  // --like: the take a file whose header is gone is rebuilt from
  std::vector<const char*> operands;  // in order
};

// What the command line asks for; Usage when it is wrong, after getopt said
// why on standard error.
enum class Request { Run, Help, Version, Usage };

Request Parse(int argc, char** argv, Options& options);

// zavevuv's --help and --version.
void PrintHelp();
void PrintVersion();

}  // namespace zavevuv::cli
