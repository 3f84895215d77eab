// SPDX-License-Identifier: MIT
// The size fields of a file that starts like a WAVE file: which are wrong,
// and what they should hold.
#pragma once

#include <cstdint>
#include <span>

#include "plan.h"

namespace zavevuv {

// The header is correct when each size field says what the file holds; a
// repair rewrites exactly the fields that do not. When the stated audio is
// followed by a chain of chunks, or by appended tags, the data size is right
// as it stands; otherwise the audio runs to the end of the file, or to where
// the appended tags begin.
Plan PlanSizes(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more);

}  // namespace zavevuv
