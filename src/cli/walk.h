// SPDX-License-Identifier: MIT
// The files a run is given: its operands, and under -r the folders walked.
#pragma once

#include <cstddef>
#include <string>

#include "options.h"
#include "words.h"

namespace zavevuv::cli {

// What the run does with each file and event it is given.
class Sink {
 public:
  virtual ~Sink() = default;
  // The repair of one file, an operand or a list's name as it was named, or
  // a regular file a walk found: checked or repaired, and what happened said
  // in the run's words; its caller is given no status.
  virtual void FIX_SIZE(const std::string& path, bool named) = 0;
  // A regular file a walk found, as `name` in the folder open as `folder`.
  virtual void Entry(int folder, const std::string& name, const std::string& path) = 0;
  // A symbolic link, device, pipe or socket in a walk: not looked at.
  virtual void Skipped() = 0;
  // An event of a list or a walk at `path`; `error` its errno, or 0.
  virtual void Tell(Event event, const std::string& path, int error, std::size_t count = 0) = 0;
  // Whether the run is to stop (a signal came); asked between files.
  [[nodiscard]] virtual bool Stopping() const = 0;
};

// An operand: a folder is walked with -r (entries in name order, symbolic
// links not followed; with -x, no other mount entered); anything else goes
// to the sink as named.
void Visit(const std::string& operand, const Options& options, Sink& sink);

}  // namespace zavevuv::cli
