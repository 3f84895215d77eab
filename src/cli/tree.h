// SPDX-License-Identifier: MIT
// The files a run is given: the operands, the folders walked under -r, and
// names read from a list of NUL-terminated names.
#pragma once

#include <csignal>
#include <string>

#include "options.h"

namespace zavevuv::cli {

// What the run does with each file it is given.
class Sink {
 public:
  virtual ~Sink() = default;
  // A regular file found in a walk, or an operand as it was named.
  virtual void File(const std::string& path, bool named) = 0;
  // A symbolic link, device, pipe or socket in a walk: not looked at.
  virtual void Skipped() = 0;
  // A folder or list that could not be read; `error` its errno, or 0.
  virtual void Trouble(const std::string& path, const char* reason, int error) = 0;
  // Whether the run is to stop (a signal came); asked between files.
  [[nodiscard]] virtual bool Stopping() const = 0;
};

// An operand: a folder is walked with -r (entries in name order, symbolic
// links not followed; with -x, no other mount entered); anything else goes
// to the sink as named.
void Visit(const std::string& operand, const Options& options, Sink& sink);

// Each name in the list at `from` ("-": standard input), NUL-terminated (the
// last one may be unterminated), visited in order as it is read: the list
// may be of any length.
void VisitList(const char* from, const Options& options, Sink& sink);

}  // namespace zavevuv::cli
