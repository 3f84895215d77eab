// SPDX-License-Identifier: MIT
// Where the audio and the RIFF form end: at a stated size that a chain of
// chunks, a cut copy or the form's end follows; else where a chain found
// from the end starts; else at the form's end, in whole frames.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "after_audio.h"
#include "file_bytes.h"
#include "from_end.h"

namespace zavevuv {

struct Audio {
  std::uint64_t data = 0;  // the audio's true bytes
  Ending ending;
};

// What the header says of the audio that starts at `firstSample`.
struct Stated {
  std::uint64_t firstSample = 0;
  std::span<const std::uint64_t> sizes;    // the data sizes it states, best first
  std::optional<std::uint64_t> size32;     // a 32-bit data size that may hold the audio modulo 2^32
  std::optional<std::uint64_t> counted;    // in ds64: the bytes its sample count takes
  std::uint64_t blockAlign = 0;            // the fmt chunk's, 0 where unknown
  std::uint64_t frame = 0;                 // a frame's or block's bytes, where the format tells
  std::optional<std::uint64_t> factCount;  // the fact chunk's sample count, where there is one
  bool zeroIsLoud = false;                 // frames of a byte: 0x00 is no silence
};

// The audio the header describes. Nothing when a read failed.
std::optional<Audio> WhereAudioEnds(FileBytes& file, const Stated& header);

}  // namespace zavevuv
