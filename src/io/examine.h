// SPDX-License-Identifier: MIT
// A look at a file: its first bytes read, and what the decision makes of
// them; and the look anew under the hold, which decides only where the bytes
// are no longer those the first look read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "file_bytes.h"
#include "plan.h"

namespace zavevuv {

// The file's first bytes, read at once; the decision reads more of the head
// where it needs it. On the heap, allocated once per call: a call may run on
// a thread's small stack.
using Buffer = std::span<unsigned char, kFirstBytes>;

// What a look read at `at`.
struct Read {
  std::uint64_t at = 0;
  std::vector<unsigned char> bytes;
};

// A file examined: the bytes read and what they need. `decided` is false
// when they could not be read; the plan's outcome then says so. `reads`:
// where the look keeps them, the reads past the first bytes, unless they
// came to more than 256 KiB (then `kept` is false).
struct Examined {
  std::span<const unsigned char> head;
  std::uint64_t length = 0;
  Plan plan;
  bool decided = false;
  std::vector<Read> reads;
  bool kept = false;
  std::size_t keptBytes = 0;  // of reads
};

// `keep`: the reads are kept, for a look anew to compare with.
Examined Examine(int fd, std::uint64_t length, Buffer buffer, bool keep = false);

// The look anew: every byte the `first` look read, read again. Where they
// are all as they were, so is the decision, which is not made twice; else
// the file is examined afresh (into `buffer`, where the first look's head
// lies).
Examined Again(int fd, std::uint64_t length, Buffer buffer, const Examined* first);

}  // namespace zavevuv
