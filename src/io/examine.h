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
#include "take.h"

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

// What a look may do for a file whose header is gone: rebuild it from a
// sibling take, or without one say what its audio reads as.
struct Like {
  std::optional<Take> take;
};

// The take a file by that name is, read once for the many files of a run;
// nothing, errno set, where it cannot be read (EINVAL: it is no take whose
// header stands, or its samples are of no format that can be tested).
std::optional<Take> ReadLike(const char* path);

// `keep`: the reads are kept, for a look anew to compare with. `like`: the
// decision that rebuilds (a rebuild's insert cut off part-way is read from
// the file), where not null.
Examined Examine(int fd, std::uint64_t length, Buffer buffer, bool keep = false,
                 const Like* like = nullptr);

// The look anew: every byte the `first` look read, read again. Where they
// are all as they were, so is the decision, which is not made twice; else
// the file is examined afresh (into `buffer`, where the first look's head
// lies).
Examined Again(int fd, std::uint64_t length, Buffer buffer, const Examined* first,
               const Like* like = nullptr);

}  // namespace zavevuv
