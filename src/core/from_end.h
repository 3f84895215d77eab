// SPDX-License-Identifier: MIT
// Chains of after-audio chunks found backward from the form's end, where no
// stated size is followed by one: streams that never wrote their sizes,
// writers past 4 GiB that wrapped them, recorders killed while appending.
#pragma once

#include <cstdint>
#include <optional>

#include "file_bytes.h"

namespace zavevuv {

// A chain of after-audio chunks found backward from the form's end, within
// the file's last 64 KiB: where it starts, and whether its last chunk lacks
// its padding.
struct ChainStart {
  std::uint64_t at = 0;
  bool unpadded = false;
  bool cut = false;  // it ends in a chunk, or a chunk header, that the end of the file cuts
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
// chain of after-audio chunks at whole frames from the first sample that
// ends in a chunk the end of the file cuts (a writer killed while it
// appended the chunk; a LIST only of a known type), or in the first bytes of
// a chunk header (any of them after a whole chunk; alone, a name's 4 bytes
// at least). Nothing when there is none, or no telling which.
std::optional<ChainStart> ChainFromEnd(FileBytes& file, const FromEnd& where);

}  // namespace zavevuv
