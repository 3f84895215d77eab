// SPDX-License-Identifier: MIT
#include <algorithm>
#include <vector>

#include "changes.h"
#include "cut_insert.h"
#include "format.h"
#include "plan.h"
#include "sizes.h"

namespace zavevuv {

Plan Decide(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more) {
  if (head.size() < std::min(length, kFirstBytes)) {
    return Only(Outcome::ReadFailed);  // the file shrank while it was read
  }
  if (FormOf(head) == Form::Riff) {
    return PlanSizes(head, length, more);
  }
  // A file that does not start with "RIFF" may be an insert cut off
  // part-way, whose old header lies up to 64 KiB in: the whole head first.
  std::vector<unsigned char> whole;
  if (const auto end = static_cast<std::size_t>(std::min(length, kHeadBytes)); head.size() < end) {
    whole.resize(end);
    std::ranges::copy(head, whole.begin());
    if (!more || !more(head.size(), std::span(whole).subspan(head.size()))) {
      return Only(Outcome::ReadFailed);
    }
    head = whole;
  }
  if (auto plan = FinishCutInsert(head, length, more)) {
    return *std::move(plan);
  }
  return PlanSizes(head, length, more);
}

}  // namespace zavevuv
