// SPDX-License-Identifier: MIT
// The check and the repair of one file, by path or on a descriptor the
// caller holds: what the library's entry points and the command line run.
#pragma once

#include <cstddef>

#include "examine.h"
#include "outcome.h"
#include "plan.h"

namespace zavevuv {

// What one call found and did.
struct Result {
  Outcome outcome = Outcome::ReadFailed;
  Found found;             // from the last look taken
  std::size_t fields = 0;  // size fields written, or that a repair would write
  bool rf64 = false;       // the file became RF64 (a check: would)
  bool insert = false;     // an insert would make it RF64, and none was made
  int writeError = 0;      // what a repair's open for writing meets, or would
};

// What `plan` says of the file, before any of it is carried out.
void Record(Result& result, const Plan& plan);

enum class Mode {
  Check,   // read-only: what a repair would do
  Repair,  // under the lock, and for a path the lease, then synced
};

// A file by name, as the command line handles it. Only a repair by name
// ever inserts a block: only then is the file's one descriptor ours.
// `like`: a file whose header is gone is rebuilt from its take, or, with
// none, said what its audio reads as.
Result OnPath(const char* path, Mode mode, const Like* like = nullptr);

// A check of an entry that its folder, open as `folder`, listed as a regular
// file: opened once by its name there, never through a link (see OpenEntry).
// What a walk of folders asks of each file it meets.
Result OnEntry(int folder, const char* name, const Like* like = nullptr);

// A descriptor the caller holds, open for reading (Check) or reading and
// writing without O_APPEND (Repair); left open, its offset unmoved. A repair holds the lock
// through it for the call, and so lets go of one the caller held through it.
Result OnDescriptor(int fd, Mode mode);

}  // namespace zavevuv
