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
  bool unpadded = false;  // the form's last chunk lacks its padding (in Wave64, some of it)
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

}  // namespace zavevuv
