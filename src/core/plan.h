// SPDX-License-Identifier: MIT
// What a WAVE file's header needs, decided from the bytes read and the file's
// length alone. The decision does no I/O: the repair reads, asks, and writes
// what the plan says; the tests and the fuzzer check plans directly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "file_bytes.h"
#include "head_block.h"
#include "outcome.h"
#include "samples.h"

namespace zavevuv {

// One field to store: the first `width` bytes (4 or 8) of `bytes` at `at`.
struct FieldWrite {
  std::uint64_t at = 0;
  std::array<unsigned char, 8> bytes{};
  std::size_t width = 4;
};

// What the plan asks of an insert at the file's start.
enum class Insert {
  None,    // no insert: the fields are all there is to write
  Make,    // past 4 GiB without room for ds64: the fields say "to the end of the
           // file" (TooLarge or ToEnd); inserting a head block makes it RF64.
           // A cut file's rebuild: a block inserted at its start takes its head
  Finish,  // an insert whose head block was never written, or not whole: the
           // file starts with `block` zero bytes, then the old header; the head
           // block goes there before the fields (Fixed). A rebuild's: `head`
           // goes over the block and the partial frame after it
};

// What the first bytes are: not read, no file we know, RIFF, RF64 or BW64
// (an id cut off on its way from RIFF to RF64 included), Wave64, AIFF or
// AIFF-C.
enum class HeaderKind { Unknown, NotWave, Riff, Rf64, W64, Aiff, Aifc };

// A file whose header is gone: the shape it is in.
enum class Shape {
  None,     // its header stands, or it is no audio
  Zeroed,   // its first bytes are zeros, where a header was
  Cut,      // it starts with audio: its first bytes are lost
  Damaged,  // its form or format is gone, but its data chunk's header stands
};

// Why such a file was not rebuilt from a sibling take.
enum class Refusal {
  None,
  Misfit,     // the audio reads better as another format (the guess says which)
  Silent,     // the audio tested is silence: nothing tells its format
  Alignment,  // the container cannot start the audio on a sample boundary there
  NoInsert,   // no block can be inserted at the start of this file
  NoRoom,     // the bytes before the data chunk cannot hold the take's head
  TooLarge,   // past 4 GiB, which the take's container cannot describe
};

// How such a file's audio reads: the take's format where it fits, else the
// best reading of its bytes.
struct Guess {
  Encoding encoding;
  unsigned channels = 0;      // 0: they cannot be told
  bool assumedOrder = false;  // it starts inside a frame: the take's channel order is kept
};

// What a look learned of the file, for callers that report it.
struct Found {
  std::optional<std::uint64_t> dataChunk;     // where "data" starts
  std::uint64_t stated = 0;                   // the data size the header stated
  std::uint64_t audio = 0;                    // the audio's true bytes
  std::optional<std::uint64_t> frames;        // the sample count, where the format tells
  std::optional<std::uint64_t> statedFrames;  // the samples the stated size holds, so too
  std::uint64_t sampleRate = 0;               // from the fmt chunk; 0 when none was read
  HeaderKind kind = HeaderKind::Unknown;
  Shape shape = Shape::None;
  Refusal refusal = Refusal::None;
  std::optional<Guess> guess{};
};

// The most fields a plan writes: each size field a WAVE header has, once
// (the id at 0, the RIFF size, the id at 12, ds64's four, the data size and
// the fact count), and one to spare.
inline constexpr std::size_t kMostWrites = 10;

// The outcome for one file and, for Fixed and ToEnd only, the fields that
// change (at most kMostWrites), in the order of their offsets.
struct Plan {
  Outcome outcome = Outcome::NoDataChunk;
  std::vector<FieldWrite> writes;
  Insert insert = Insert::None;
  Upgrade upgrade;          // Make and Finish: the sizes the RF64 file states
  std::uint64_t block = 0;  // Finish: B, where the old header now starts
  // An insert cut off part-way may have left its intent on the file: Finish,
  // Make where the sizes already say "to the end", and an RF64 file past 4 GiB.
  bool mayHaveIntent = false;
  // A rebuild (Found's shape says which): the head written at 0, its first
  // sector last, after the fields outside it. A cut file's Make: `partial`,
  // the bytes of the partial frame it starts with, which the head will cover
  // once B bytes are inserted before them.
  std::vector<unsigned char> head;
  std::uint64_t partial = 0;
  Found found;
};

// The plan for a file of `length` bytes whose first bytes are `head`; the
// rest, where it is needed (the first min(length, kFirstBytes) always), is
// read through `more`.
Plan Decide(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more);

}  // namespace zavevuv
