// SPDX-License-Identifier: MIT
// An insert cut off before its head block was written, or while it was.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "plan.h"

namespace zavevuv {

// The old RIFF header at B (a multiple of 4 KiB, up to 64 KiB) in a file that
// needs the upgrade, and before it nothing but zeros and bytes of its head
// block: the plan is the old file's, moved on, with the head block to write
// (Insert::Finish). Nothing when the head is anything else.
std::optional<Plan> FinishCutInsert(std::span<const unsigned char> head, std::uint64_t length,
                                    const ReadMore& more);

}  // namespace zavevuv
