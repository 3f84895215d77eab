// SPDX-License-Identifier: MIT
// The decision for callers that do their own I/O: their bytes and their
// read callback in, the fields to write (and the head block of an insert)
// out. Nothing here touches a file.
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <new>
#include <vector>

#include "head_block.h"
#include "plan.h"
#include "report.h"

namespace zavevuv {
namespace {

// The caller's reads, as the decision asks for them.
ReadMore Reader(zavevuv_read_fn read, void* user) {
  return [read, user](std::uint64_t offset, std::span<unsigned char> out) {
    return read != nullptr && read(user, offset, out.data(), out.size()) == 0;
  };
}

zavevuv_plan ToC(const Plan& plan) {
  zavevuv_plan full{};
  full.size = sizeof full;
  full.outcome = Code(plan.outcome);
  static_assert(kMostWrites <= ZAVEVUV_MAX_FIELDS, "every plan fits the caller's struct");
  full.count = static_cast<unsigned>(plan.writes.size());
  for (unsigned i = 0; i < full.count; ++i) {
    const FieldWrite& write = plan.writes[i];
    full.fields[i].offset = write.at;
    std::copy_n(write.bytes.begin(), write.width, full.fields[i].bytes);
    full.fields[i].width = static_cast<unsigned>(write.width);
  }
  full.insert = plan.insert == Insert::Make     ? ZAVEVUV_INSERT_MAKE
                : plan.insert == Insert::Finish ? ZAVEVUV_INSERT_FINISH
                                                : ZAVEVUV_INSERT_NONE;
  full.block = plan.block;
  full.form_end = plan.upgrade.formEnd;
  full.audio_bytes = plan.upgrade.data;
  full.frames = plan.upgrade.frames;
  return full;
}

// The caller's bytes as the head, past ZAVEVUV_HEAD_BYTES ignored; the
// decision reads through the callback what they lack.
Plan DecideWith(const unsigned char* given, std::size_t givenSize, std::uint64_t length,
                const ReadMore& more) {
  const auto head = std::min<std::uint64_t>(givenSize, std::min(length, kHeadBytes));
  return Decide(std::span(given, static_cast<std::size_t>(head)), length, more);
}

}  // namespace
}  // namespace zavevuv

extern "C" {

int zavevuv_decide(const void* head, size_t head_size, uint64_t length, zavevuv_read_fn read,
                   void* user, zavevuv_plan* plan, zavevuv_report* report) {
  using namespace zavevuv;
  if ((head == nullptr && head_size != 0) || !Fits(plan)) {
    return Report(report, ZAVEVUV_INVALID, nullptr);
  }
  bool fits = true;
  const int code = Run(report, [&] {
    const Plan decided = DecideWith(static_cast<const unsigned char*>(head),
                                    head == nullptr ? 0 : head_size, length, Reader(read, user));
    fits = decided.writes.size() <= kMostWrites;  // the core's bound, which the struct holds
    if (fits) {
      Give(plan, ToC(decided));
    }
    Result result;
    Record(result, decided);
    result.outcome = decided.outcome;
    errno = 0;  // the decision makes no system call: errno is the callback's
    return result;
  });
  return fits ? code : Report(report, ZAVEVUV_INVALID, nullptr);
}

int zavevuv_head_block(const zavevuv_plan* plan, uint64_t b, void* out, size_t out_size) {
  using namespace zavevuv;
  if (plan == nullptr || out == nullptr ||
      plan->size < offsetof(zavevuv_plan, frames) + sizeof plan->frames ||
      plan->insert == ZAVEVUV_INSERT_NONE || b < kMinBlock || b > kMaxBlock || b % kMinBlock != 0 ||
      out_size < b) {
    return ZAVEVUV_INVALID;
  }
  try {
    const std::vector<unsigned char> block =
        HeadBlock(Upgrade{plan->form_end, plan->audio_bytes, plan->frames}, b);
    std::copy(block.begin(), block.end(), static_cast<unsigned char*>(out));
    return 0;
  } catch (const std::bad_alloc&) {  // the block of b bytes (64 KiB at most): nothing else throws
    return ZAVEVUV_NO_MEMORY;
  }
}

}  // extern "C"
