// SPDX-License-Identifier: MIT
// The sample count that a fact chunk, and in RF64 the ds64 chunk, holds.
//
// Real writers disagree on the count of a valid file, and each is what that
// writer's readers expect: sox and libsndfile store the exact samples of a
// padded last block, ffmpeg whole blocks times samples per block, libsndfile's
// stereo IMA ADPCM half of that. So in a RIFF file a frame count is right
// unless it says more than the audio can hold, or 0 while the audio holds a
// whole frame; a block count only where it is one of those three (any other
// is one a writer left before its last blocks). RF64 writers store the exact
// count, and in a file that is or becomes RF64 the count must be exact: the
// frames (or one fewer, where a pad byte is counted), or a count within the
// last block the audio reaches into.
// A wrong count becomes the samples of the whole frames or blocks.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "chunks.h"

namespace zavevuv {

struct CountRule {
  std::uint64_t most = 0;   // what `data` bytes can hold at most
  bool whole = false;       // they hold a whole frame or block
  std::uint64_t want = 0;   // what a wrong count becomes
  std::uint64_t least = 0;  // the exact counts: from here to `most`
  bool blocks = false;      // counted in blocks, as ADPCM and GSM are

  [[nodiscard]] bool Right(std::uint64_t count, bool exact) const {
    const bool within = count == want || (count >= least && count <= most);
    if (exact || blocks) {
      return within || (!exact && count == want / 2);
    }
    return count <= most && (count != 0 || !whole);
  }
};

// The rule for `data` bytes of audio, where the format tells: PCM, IEEE
// float, A-law, mu-law and extensible formats of those count frames; IMA and
// Microsoft ADPCM and GSM 6.10 count the samples of their blocks.
std::optional<CountRule> CountRuleFor(const Layout& layout, std::uint64_t data);

// The bytes of one frame (sample formats) or block (ADPCM, GSM), where the
// format counts them as CountRuleFor does; 0 where it does not.
std::uint64_t FrameBytes(const Layout& layout);

// The bytes of audio that `count` samples take, in whole frames or blocks;
// nothing where the format does not tell, or they could not lie in `most`.
std::optional<std::uint64_t> CountBytes(const Layout& layout, std::uint64_t count,
                                        std::uint64_t most);

// The one count the fields are to hold: the first of `now` that is right
// (exactly so, where `exact`), else the rule's.
std::uint64_t ChooseCount(const CountRule& rule, bool exact,
                          std::initializer_list<std::optional<std::uint64_t>> now);

// What a 32-bit fact count holds for `count`: the count, or 0xFFFFFFFF where
// it needs more than 32 bits (the true count is then in ds64).
std::uint64_t FactFor(std::uint64_t count);

}  // namespace zavevuv
