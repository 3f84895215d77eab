// SPDX-License-Identifier: MIT
#include "writes.h"

#include <algorithm>

namespace zavevuv {
namespace {

constexpr std::uint64_t kWriteBlock = 4096;  // fields this close share one write
constexpr std::size_t kSector = 512;         // the least a disk writes whole
constexpr std::size_t kIdBytes = 4;          // the form's id, or Wave64's GUID's first bytes

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
  if (plan.insert == Insert::Finish && plan.head.empty()) {
    patches.push_back({0, HeadBlock(plan.upgrade, plan.block)});
  }
  for (Patch& patch : Coalesce(head, plan.writes)) {
    patches.push_back(std::move(patch));
  }
  if (!plan.head.empty()) {
    // The head from its end, the form's id last: until it is written, the
    // file is one whose header is gone, and a run cut off is run again.
    const std::span<const unsigned char> h = plan.head;
    const std::size_t sector = std::min(h.size(), kSector);
    const auto part = [&](std::size_t from, std::size_t to) {
      const auto bytes = h.subspan(from, to - from);
      return std::vector<unsigned char>(bytes.begin(), bytes.end());
    };
    if (h.size() > sector) {
      patches.push_back({sector, part(sector, h.size())});
    }
    patches.push_back({kIdBytes, part(kIdBytes, sector), !patches.empty()});
    patches.push_back({0, part(0, kIdBytes), true});
  }
  return patches;
}

bool WritesAny(const Plan& plan) {
  return !plan.writes.empty() || !plan.head.empty() || plan.insert != Insert::None;
}

}  // namespace zavevuv
