// SPDX-License-Identifier: MIT
// The three shapes a file whose header is gone may be in, and the plan that
// gives it a take's head in each: the head built (take.h), placed where the
// shape says, and its sizes made true by the decision on the file as it
// will then be.
//
//   zeroed    zeros where the head was, up to the take's first sample or
//             past it: the head is written over the zeros, the audio starts
//             where the take's does
//   cut       the file starts with audio: a block is inserted at its start
//             and the head written there and over the partial frame the file
//             starts with, so that the audio starts right after it
//   damaged   the form or format is gone, the data chunk's header stands: the
//             bytes before it are written, the file's own chunks kept
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "file_bytes.h"
#include "plan.h"
#include "take.h"

namespace zavevuv {

// An insert a rebuild made: B, the bytes of the partial frame after it that
// the head covers, and the file's length before.
struct RebuildInsert {
  std::uint64_t b = 0;
  std::uint64_t partial = 0;
  std::uint64_t oldLength = 0;
};

class Shapes {
 public:
  // The file whose first bytes are `given` (the rest through `more`), read
  // through `file`, whose audio reads as the take's with samples starting at
  // byte `phase`, modulo a sample.
  Shapes(std::span<const unsigned char> given, const ReadMore& more, FileBytes& file,
         const Take& take, unsigned phase)
      : given_(given), more_(more), file_(file), take_(take), phase_(phase) {}

  // A rebuild's insert whose head is not whole (or not written): the file's
  // first `b` bytes are zeros or the head's, the partial frame after them.
  [[nodiscard]] std::optional<Plan> Finish(const RebuildInsert& made) const;
  // The form or the format gone, the data chunk's header standing: the head
  // rebuilt up to the file's own chunks before it, or to it.
  [[nodiscard]] std::optional<Plan> Damaged() const;
  // Zeros where the head was, up to the take's first sample or past it (or
  // a head written part-way over them): the audio starts where the take's
  // does.
  [[nodiscard]] std::optional<Plan> Zeroed() const;
  // The file starts with audio, perhaps inside a frame: a block inserted
  // before it takes the head, which covers that partial frame (Insert::Make;
  // a check assumes a block of 4 KiB, which changes no size).
  [[nodiscard]] Plan Cut() const;

 private:
  // Whether the take's samples start at `at` as the audio reads.
  [[nodiscard]] bool Starts(std::uint64_t at) const { return at % take_.encoding.bytes == phase_; }
  [[nodiscard]] Plan Refused(Refusal refusal) const;
  // The plan that gives the file the take's head, its audio at `start`
  // (`before`: the head ends there, the file's own chunks after it), its
  // bytes `shift` further on.
  [[nodiscard]] std::optional<Plan> Sized(std::uint64_t start, std::uint64_t shift, Shape shape,
                                          bool before = false) const;

  std::span<const unsigned char> given_;
  const ReadMore& more_;
  FileBytes& file_;
  const Take& take_;
  unsigned phase_;
};

// Whether the take's container's data chunk header lies in the file's head,
// at an offset where a chunk may start (a guess of the shape looks for each
// container's).
bool HasDataChunk(FileBytes& file);

}  // namespace zavevuv
