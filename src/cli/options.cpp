// SPDX-License-Identifier: MIT
#include "options.h"

#include <getopt.h>
#include <unistd.h>

#include <array>
#include <string>

#include "say.h"
#include "text.h"
#include "zavevuv.h"

namespace zavevuv::cli {
namespace {

enum LongOnly { kJson = 256, kFiles0, kLike, kHelp, kVersion };

constexpr std::array<option, 13> kLong{{
    {"check", no_argument, nullptr, 'n'},
    {"recursive", no_argument, nullptr, 'r'},
    {"one-file-system", no_argument, nullptr, 'x'},
    {"quiet", no_argument, nullptr, 'q'},
    {"silent", no_argument, nullptr, 'q'},
    {"verbose", no_argument, nullptr, 'v'},
    {"json", no_argument, nullptr, kJson},
    {"files0-from", required_argument, nullptr, kFiles0},
    {"jobs", required_argument, nullptr, 'j'},
    {"like", required_argument, nullptr, kLike},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
}};

constexpr unsigned kMostJobs = 256;
constexpr const char* kTry = "Try 'zavevuv --help' for more information.\n";

// A usage error said in zavevuv's own words, then the pointer to --help.
Request Wrong(const std::string& why) {
  Say(Stream::Err, "zavevuv: " + why + "\n");
  Say(Stream::Err, kTry);
  return Request::Usage;
}

// A number of jobs from 1 to kMostJobs, in decimal.
bool JobsFrom(const char* text, unsigned& jobs) {
  unsigned n = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9' || (n = n * 10 + static_cast<unsigned>(*c - '0')) > kMostJobs) {
      return false;
    }
  }
  jobs = n;
  return *text != '\0' && n != 0;
}

// One option getopt_long returned; Run to go on.
Request Take(int c, Options& options) {
  switch (c) {
    case 'n':
      options.check = true;
      break;
    case 'r':
      options.recursive = true;
      break;
    case 'q':
      options.quiet = true;
      break;
    case 'v':
      options.verbose = true;
      break;
    case 'x':
      options.oneFileSystem = true;
      break;
    case 'j':
      if (!JobsFrom(::optarg, options.jobs)) {
        return Wrong("invalid number of jobs: '" + Escaped(::optarg, true) + "'");
      }
      break;
    case kJson:
      options.json = true;
      break;
    case kFiles0:
      options.list = ::optarg;
      break;
    case kLike:
      options.like = ::optarg;
      break;
    case kHelp:
      return Request::Help;
    case kVersion:
      return Request::Version;
    default:  // getopt said what was wrong, ambiguity included
      Say(Stream::Err, kTry);
      return Request::Usage;
  }
  return Request::Run;
}

}  // namespace

Request Parse(int argc, char** argv, Options& options) {
  // getopt's own diagnostics, under the command's name whatever path ran it.
  static std::string name = "zavevuv";
  argv[0] = name.data();
  for (int c = 0; (c = ::getopt_long(argc, argv, "nrqvxj:", kLong.data(), nullptr)) != -1;) {
    if (const Request request = Take(c, options); request != Request::Run) {
      return request;
    }
  }
  for (int i = ::optind; i < argc; ++i) {
    options.operands.push_back(argv[i]);
  }
  if (options.list != nullptr && !options.operands.empty()) {
    return Wrong("extra operand '" + Escaped(options.operands.front(), true) +
                 "'\nfile operands cannot be combined with --files0-from");
  }
  if (options.list == nullptr && options.operands.empty()) {
    return Wrong("missing file operand");
  }
  return Request::Run;
}

void PrintHelp() {
  Say(Stream::Out, R"(Usage: zavevuv [OPTION]... FILE...
  or:  zavevuv [OPTION]... --files0-from=F
Check the size fields of audio files (WAVE: RIFF, RF64, BW64; AIFF, AIFF-C;
Wave64) against the audio they hold, and repair the wrong ones in place.
A file whose header is gone is said so, and with --like rebuilt.

  -n, --check          look only: say what a repair would do, write nothing
  -r, --recursive      walk each FILE that is a folder (links are not followed);
                         files in it that are none of those are skipped
  -x, --one-file-system  in a walk, enter no folder on another mount
      --files0-from=F  take the files from F, each name ended by a NUL byte;
                         F is - for standard input
  -j, --jobs=N         repair up to N files at once (default 16; 1 with
                         --check); the lines still come in order
  -q, --quiet, --silent  print only the files that need or got a repair, and
                         the failures
  -v, --verbose        print the summary even when every file is correct
      --json           print one JSON object per file (JSON Lines)
      --like=TAKE      rebuild a file whose header is gone from TAKE, a take of
                         the same recorder whose header stands
      --help           display this help and exit
      --version        output version information and exit

Exit status is 0 if every audio file is correct (after the repair, or with
--check already), 1 if some file still needs a repair, 2 if trouble.

Full documentation: man zavevuv
)");
}

void PrintVersion() {
  Say(Stream::Out, std::string("zavevuv (zavevuv_32uvo) ") + ZAVEVUV_VERSION_STRING + R"(
Copyright (C) 2026 The zavevuv_32uvo developers.
License: MIT <https://opensource.org/licenses/MIT>.
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
)");
}

}  // namespace zavevuv::cli
