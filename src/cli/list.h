// SPDX-License-Identifier: MIT
// A list of names, read as a stream with bounded memory, in either command's
// dialect:
//   zavevuv_32uvo LIST PREFIX   names ended by line feeds, or by NUL bytes
//                               where the list holds one; all read before the
//                               first is handled, 512 at most, PREFIX put
//                               directly before each
//   zavevuv --files0-from=F     names ended by NUL bytes, each handled as it
//                               ends, any number
#pragma once

#include "options.h"
#include "walk.h"

namespace zavevuv::cli {

// Hands each name of the list `options.list` names ("-": standard input) to
// `sink`, and what it meets to `sink.Tell`.
void ReadList(const Options& options, Sink& sink);

}  // namespace zavevuv::cli
