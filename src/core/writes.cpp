// SPDX-License-Identifier: MIT
#include "writes.h"

namespace zavevuv {
namespace {

constexpr std::uint64_t kWriteBlock = 4096;  // fields this close share one write

}  // namespace

std::vector<Patch> Coalesce(std::span<const unsigned char> head,
                            std::span<const FieldWrite> writes) {
  std::vector<Patch> patches;
  for (const FieldWrite& write : writes) {
    const auto bytes = std::span(write.bytes).first(write.width);
    // A field joins the run before it when both lie within 4 KiB and the
    // bytes between them are in the head, to be written back as they are.
    if (!patches.empty()) {
      Patch& last = patches.back();
      const std::uint64_t lastEnd = last.at + last.bytes.size();
      if (write.at >= lastEnd && write.at + write.width - last.at <= kWriteBlock &&
          write.at <= head.size()) {
        last.bytes.insert(last.bytes.end(), head.begin() + static_cast<std::ptrdiff_t>(lastEnd),
                          head.begin() + static_cast<std::ptrdiff_t>(write.at));
        last.bytes.insert(last.bytes.end(), bytes.begin(), bytes.end());
        continue;
      }
    }
    patches.push_back({write.at, {bytes.begin(), bytes.end()}});
  }
  return patches;
}

std::vector<Patch> Writes(std::span<const unsigned char> head, const Plan& plan) {
  std::vector<Patch> patches;
  if (plan.insert == Insert::Finish) {
    patches.push_back({0, HeadBlock(plan.upgrade, plan.block)});
  }
  for (Patch& patch : Coalesce(head, plan.writes)) {
    patches.push_back(std::move(patch));
  }
  return patches;
}

}  // namespace zavevuv
