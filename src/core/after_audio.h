// SPDX-License-Identifier: MIT
// What follows the stated audio: the form's end, a chain of chunks that
// writers put after the audio, a copy cut inside such a chain or inside an
// appended tag, or something else (then the stated size is wrong).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "file_bytes.h"

namespace zavevuv {

// How the stated audio ends.
enum class Tail {
  Chunks,      // at the form's end, or where a chain of chunks starts that ends there
  Cut,         // a chain of after-audio chunks, an id or a tag that the end of the file cuts short
  Long,        // a chain still parsing after the most chunks followed
  Other,       // something else follows: the data size is wrong
  Unreadable,  // a read failed
};

struct Ending {
  Tail tail = Tail::Other;
  std::uint64_t formEnd = 0;
  bool unpadded = false;  // the form's last chunk is odd-sized and its pad byte missing
  // The form ends at formEnd and nowhere else: what follows is no whole chunk
  // (a chunk header cut short, the rest of a partial frame), so a reader that
  // walks to the RIFF size must stop before it.
  bool exact = false;
};

// How the stated audio of `stored` bytes from `firstSample` ends, followed by
// its pad byte or, as some writers leave it, without one. `ends`: where the
// form may end (FormEnds).
Ending AfterStated(FileBytes& file, std::uint64_t firstSample, std::uint64_t stored,
                   std::span<const std::uint64_t> ends);

// A chain of after-audio chunks found backward from the form's end, within
// the file's last 64 KiB: where it starts, and whether its last chunk lacks
// its pad byte.
struct ChainStart {
  std::uint64_t at = 0;
  bool unpadded = false;
  bool cut = false;  // a chunk that runs past the end of the file, not a chain
};

// Where to look from the end, and what the header tells of the audio.
struct FromEnd {
  std::uint64_t firstSample = 0;
  std::uint64_t formEnd = 0;
  std::optional<std::uint64_t> size32;  // a 32-bit data size that may hold the audio modulo 2^32
  std::uint64_t frame = 0;  // a frame's or block's bytes, where the format tells; else 0
  const Container& chunks;  // how the file lays out its chunks
};

// The one chain that ends exactly at `formEnd` and starts after the first
// sample byte; where several do, the one a 32-bit size stored modulo 2^32
// points at. A start inside a LIST of another start's chain is one of its
// sub-chunks, not a start of its own. Where no chain ends there, the one
// after-audio chunk that runs past the end of the file, at whole frames
// from the first sample (a writer killed while it appended the chunk; a LIST
// only of a known type). Nothing when there is none, or no telling which.
std::optional<ChainStart> ChainFromEnd(FileBytes& file, const FromEnd& where);

}  // namespace zavevuv
