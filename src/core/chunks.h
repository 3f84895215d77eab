// SPDX-License-Identifier: MIT
// The chunks before the audio: the walk from the first chunk to the data chunk,
// and what it learns of the format on the way.
#pragma once

#include <cstdint>
#include <optional>

#include "file_bytes.h"
#include "format.h"

namespace zavevuv {

// What the walk over the chunks before the audio found.
struct Layout {
  std::optional<std::uint64_t> dataChunk;  // h: where "data" starts
  bool cutBefore = false;                  // the file ends inside a chunk before the audio
  Id first{};                              // the chunk at 12, when it parsed
  std::uint64_t firstSize = 0;
  bool roomFor64 = false;    // that chunk is ds64 or JUNK (or cut between them), 28 bytes or more
  std::uint64_t format = 0;  // from the fmt chunk passed, if any; 0xFFFE << 16 | the
                             // format tag of an extensible one
  std::uint64_t sampleRate = 0;
  std::uint64_t blockAlign = 0;
  std::uint64_t perBlock = 0;             // ADPCM samples per block
  std::optional<std::uint64_t> factAt;    // the sample count: fact's, or in AIFF COMM's frames
  bool unknownFormat = false;             // an AIFF-C compression whose frames we do not know
  std::uint64_t perCount = 1;             // sample frames a unit of the count holds (ima4: 64)
  std::optional<std::uint64_t> formatAt;  // the format chunk's body (fmt, or AIFF's COMM)
  std::uint64_t formatSize = 0;
  // With frames of one byte, a byte 0x00 is a loud sample, not silence
  // (unsigned 8-bit PCM, A-law, mu-law): one at the end may be a pad byte.
  bool zeroIsLoud = false;
};

// Follows the chunks from the first to the data chunk ("SSND" in AIFF).
// Text inside a chunk that parsed is never taken for the data chunk. Where
// the chunk structure breaks, the first data chunk at an offset where one
// may start, up to the probe's end, is taken: a writer may still have left
// it intact.
Layout Walk(FileBytes& file);

}  // namespace zavevuv
