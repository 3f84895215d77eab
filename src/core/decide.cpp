// SPDX-License-Identifier: MIT
#include <algorithm>

#include "changes.h"
#include "cut_insert.h"
#include "format.h"
#include "plan.h"
#include "sizes.h"

namespace zavevuv {

Plan Decide(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more) {
  if (head.size() < std::min(length, kHeadBytes)) {
    return Only(Outcome::ReadFailed);  // the file shrank while it was read
  }
  // A file that does not start with "RIFF" may be an insert cut off part-way.
  if (FormOf(head) != Form::Riff) {
    if (auto plan = FinishCutInsert(head, length, more)) {
      return *std::move(plan);
    }
  }
  return PlanSizes(head, length, more);
}

}  // namespace zavevuv
