// SPDX-License-Identifier: MIT
// Where the audio and the RIFF form end: at a stated size that a chain of
// chunks, a cut copy or the form's end follows; else where a chain found
// from the end starts; else at the form's end.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "after_audio.h"
#include "file_bytes.h"

namespace zavevuv {

struct Audio {
  std::uint64_t stored = 0;  // the stated size that the look went by
  std::uint64_t data = 0;    // the audio's true bytes
  Ending ending;
};

// The audio from `firstSample`, given the sizes the header states (best
// first) and the fmt chunk's block align (0 where unknown). `size32`: the
// 32-bit data size, where it may hold the true size modulo 2^32. Nothing
// when a read failed.
std::optional<Audio> WhereAudioEnds(FileBytes& file, std::uint64_t firstSample,
                                    std::span<const std::uint64_t> stated,
                                    std::optional<std::uint64_t> size32, std::uint64_t blockAlign);

}  // namespace zavevuv
