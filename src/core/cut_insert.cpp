// SPDX-License-Identifier: MIT
#include "cut_insert.h"

#include <algorithm>

#include "changes.h"
#include "format.h"
#include "head_block.h"
#include "sizes.h"

namespace zavevuv {

std::optional<Plan> FinishCutInsert(std::span<const unsigned char> head, std::uint64_t length,
                                    const ReadMore& more) {
  for (std::uint64_t b = kMinBlock; b <= kMaxBlock && b + kFirstChunk <= head.size();
       b += kMinBlock) {
    const auto at = static_cast<std::size_t>(b);
    if (FormOf(head.subspan(at)) != Form::Riff) {
      continue;
    }
    const Plan old = PlanSizes(head.subspan(at), length - b,
                               [&](std::uint64_t offset, std::span<unsigned char> out) {
                                 return more && more(offset + b, out);
                               });
    if (old.insert != Insert::Make) {
      continue;
    }
    const std::vector<unsigned char> block = HeadBlock(old.upgrade, b);
    const auto written = head.first(at);
    if (std::ranges::equal(written, block) ||
        !std::ranges::equal(written, block, [](unsigned char now, unsigned char want) {
          return now == want || now == 0;
        })) {
      continue;  // the head block whole (an RF64 file), or other bytes: not ours
    }
    Plan plan = Only(Outcome::Fixed);
    plan.insert = Insert::Finish;
    plan.upgrade = old.upgrade;
    plan.block = b;
    plan.mayHaveIntent = true;
    for (FieldWrite write : old.writes) {
      if (write.at != kRiffSize) {  // the old RIFF size now lies in a JUNK body
        write.at += b;
        plan.writes.push_back(write);
      }
    }
    return plan;
  }
  return std::nullopt;
}

}  // namespace zavevuv
