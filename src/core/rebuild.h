// SPDX-License-Identifier: MIT
// A file whose header is gone, rebuilt in place from a sibling take: whether
// its header is gone, whether the take's format fits its audio, and which
// of the shapes it is in (shapes.h). Without a take, what its audio reads as.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "plan.h"
#include "shapes.h"
#include "take.h"

namespace zavevuv {

// The plan for a file of `length` bytes whose first bytes are `head`, given
// the take `like` (nothing: only say what it reads as). A file whose own
// header stands gets the plan it gets without a take. A cut file gets
// Insert::Make, with Found's shape Cut and `plan.partial`; once the block is
// inserted, `made` says so, and the plan (Insert::Finish) writes the head.
// A file rebuilt gets Fixed and its head in `plan.head`; one that is not,
// HeaderGone and why in Found; one that is no audio, what it gets without a
// take.
Plan PlanRebuild(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more,
                 const std::optional<Take>& like, const std::optional<RebuildInsert>& made);

}  // namespace zavevuv
