// SPDX-License-Identifier: MIT
#include <algorithm>
#include <vector>

#include "changes.h"
#include "cut_insert.h"
#include "file_bytes.h"
#include "format.h"
#include "plan.h"
#include "sizes.h"

namespace zavevuv {

Plan Decide(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more) {
  std::vector<unsigned char> first;  // the first bytes, where the caller gave fewer
  const auto given = HeadTo(head, std::min(length, kFirstBytes), more, first);
  if (!given) {
    return Only(Outcome::ReadFailed);  // the file shrank while it was read, say
  }
  if (const Form form = FormOf(*given);
      form != Form::Rf64 && form != Form::UpgradeCut && form != Form::None) {
    return PlanSizes(*given, length, more);
  }
  // A file that does not start with "RIFF" may be an insert cut off
  // part-way, whose old header lies up to 64 KiB in: the whole head first.
  std::vector<unsigned char> whole;
  const auto all = HeadTo(*given, std::min(length, kHeadBytes), more, whole);
  if (!all) {
    return Only(Outcome::ReadFailed);
  }
  if (auto plan = FinishCutInsert(*all, length, more)) {
    return *std::move(plan);
  }
  return PlanSizes(*all, length, more);
}

}  // namespace zavevuv
