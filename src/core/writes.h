// SPDX-License-Identifier: MIT
// A plan's writes as runs of bytes, in the order they are written.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "plan.h"

namespace zavevuv {

// A run of bytes to write at `at`; `syncFirst`: only once the writes before
// it are synced.
struct Patch {
  std::uint64_t at = 0;
  std::vector<unsigned char> bytes;
  bool syncFirst = false;
};

// Fields within one 4 KiB block of each other share a run, the bytes between
// them as the head holds them; fields further apart are written apart, so
// the bytes between them are never written.
std::vector<Patch> Coalesce(std::span<const unsigned char> head,
                            std::span<const FieldWrite> writes);

// Everything a plan writes: the head block of an insert to finish, then the
// fields as Coalesce joins them. A rebuild's head goes last, from its end:
// its first sector once the rest is synced, and the form's id once that is:
// until then the file keeps the shape that the next run rebuilds the same
// way.
std::vector<Patch> Writes(std::span<const unsigned char> head, const Plan& plan);

// Whether a plan writes anything, or inserts.
bool WritesAny(const Plan& plan);

}  // namespace zavevuv
