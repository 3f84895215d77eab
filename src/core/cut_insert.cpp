// SPDX-License-Identifier: MIT
#include "cut_insert.h"

#include <algorithm>

#include "changes.h"
#include "codec.h"
#include "format.h"
#include "head_block.h"
#include "sizes.h"

namespace zavevuv {
namespace {

// Whether the first `b` bytes are a whole RF64 head block: "RF64", ds64 of
// 28 bytes at 12, and a JUNK chunk at 48 reaching the old header at b + 12.
bool WholeHead(std::span<const unsigned char> head, std::uint64_t b) {
  const auto field = [&](std::uint64_t at) {
    return static_cast<std::uint64_t>(
        Assem4(head.subspan(static_cast<std::size_t>(at)).first<4>()));
  };
  constexpr std::uint64_t kJunkAt = kFirstChunk + kChunkHeader + kDs64Body;
  return IsId(head, kRf64) && IsId(head.subspan(kFirstChunk), kDs64) &&
         field(kFirstChunk + 4) == kDs64Body && IsId(head.subspan(kJunkAt), kJunk) &&
         field(kJunkAt + 4) == b + kFirstChunk - kJunkAt - kChunkHeader;
}

}  // namespace

std::optional<Plan> FinishCutInsert(std::span<const unsigned char> head, std::uint64_t length,
                                    const ReadMore& more) {
  for (std::uint64_t b = kMinBlock; b <= kMaxBlock && b + kFirstChunk <= head.size();
       b += kMinBlock) {
    const auto at = static_cast<std::size_t>(b);
    if (FormOf(head.subspan(at)) != Form::Riff) {
      continue;
    }
    if (WholeHead(head, b)) {
      return std::nullopt;  // a finished upgrade: an RF64 file, decided as such
    }
    const Plan old = PlanSizes(head.subspan(at), length - b,
                               [&](std::uint64_t offset, std::span<unsigned char> out) {
                                 return more && more(offset + b, out);
                               });
    if (old.insert != Insert::Make) {
      continue;
    }
    // What a write cut off part-way leaves: a prefix of the head block, then
    // the zeros the insert made.
    const std::vector<unsigned char> block = HeadBlock(old.upgrade, b);
    const auto written = head.first(at);
    const auto [now, want] = std::ranges::mismatch(written, block);
    if (now == written.end() || !std::all_of(now, written.end(), [](auto c) { return c == 0; })) {
      continue;  // the head block whole, or other bytes: not ours
    }
    Plan plan = Only(Outcome::Fixed);
    plan.insert = Insert::Finish;
    plan.upgrade = old.upgrade;
    plan.block = b;
    plan.mayHaveIntent = true;
    plan.found = old.found;
    plan.found.dataChunk = *old.found.dataChunk + b;
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
