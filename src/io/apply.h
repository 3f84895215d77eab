// SPDX-License-Identifier: MIT
// What a look under the hold decided, carried out: an intent a cut-off
// insert left, the writes in their order with their syncs, and the block a
// plan inserts (room for RF64, or a cut file's head).
#pragma once

#include "examine.h"
#include "fd.h"
#include "hold.h"
#include "insert.h"
#include "repair.h"

namespace zavevuv {

// What applying a plan ends in: its outcome or, once a cut-off shift was
// taken back, a recheck (the file looked at anew). A recheck carries
// TooLarge, which stands should a second ever ask for one too: a file is
// never inserted into twice.
struct Applied {
  Applied(Outcome done) : outcome(done) {}  // NOLINT(google-explicit-constructor): every return
  static Applied Recheck() {
    Applied applied(Outcome::TooLarge);
    applied.recheck = true;
    return applied;
  }
  Outcome outcome;
  bool recheck = false;
};

// The intent a cut-off insert may have left, where the plan says one may be;
// a file whose insert was finished (nothing more to insert) has it removed.
// Nothing when it cannot be read: an insert may be half done.
std::optional<IntentRead> TakeIntent(int fd, const Plan& plan);

// Looks at the file open as `out` anew under the hold and carries out what
// that look decides (with `like`, where a file whose header is gone may be
// rebuilt). `first`: the look taken before the hold, where there was one.
Applied RecheckAndApply(const Fd& out, const Hold& hold, Buffer buffer, Result& result,
                        const Examined* first = nullptr, const Like* like = nullptr);

}  // namespace zavevuv
