// SPDX-License-Identifier: MIT
#include "audio_end.h"

#include <vector>

#include "tags.h"

namespace zavevuv {
namespace {

// `bytes` up to a chain or the form's end, less the pad byte that follows
// odd-sized audio where the block align tells it: an even count that the
// block align does not divide but divides less one.
std::uint64_t WithoutPad(std::uint64_t bytes, std::uint64_t blockAlign) {
  const bool pad =
      bytes % 2 == 0 && blockAlign > 1 && bytes % blockAlign != 0 && (bytes - 1) % blockAlign == 0;
  return pad ? bytes - 1 : bytes;
}

}  // namespace

std::optional<Audio> WhereAudioEnds(FileBytes& file, std::uint64_t firstSample,
                                    std::span<const std::uint64_t> stated,
                                    std::optional<std::uint64_t> size32, std::uint64_t blockAlign) {
  const std::uint64_t toEnd = file.Length() - firstSample;
  Audio audio;
  audio.stored = stated.empty() ? 0 : stated.front();
  // Tags appended to the file are never audio; they are looked for unless
  // the stated audio (and its pad byte) reaches the end of the file, as in
  // almost every correct file.
  const bool reachesEnd =
      !stated.empty() && audio.stored <= toEnd && toEnd - audio.stored <= (audio.stored & 1U);
  const std::vector<std::uint64_t> ends =
      reachesEnd ? std::vector{file.Length()} : FormEnds(file, firstSample);
  for (const std::uint64_t size : stated) {
    if (size <= toEnd) {
      audio.ending = AfterStated(file, firstSample, size, ends);
      if (audio.ending.tail != Tail::Other) {
        audio.stored = size;
        break;
      }
    }
  }
  if (audio.ending.tail == Tail::Unreadable || file.Failed()) {
    return std::nullopt;
  }
  audio.data = audio.stored;
  if (audio.ending.tail == Tail::Other) {
    // No stated size holds: the audio ends where a chain of chunks found
    // from the end starts, or else at the form's end.
    const std::uint64_t formEnd = ends.back();
    const auto chain = ChainFromEnd(file, firstSample, formEnd, size32);
    const std::uint64_t upTo = (chain ? chain->at : formEnd) - firstSample;
    audio.data = WithoutPad(upTo, blockAlign);
    audio.ending.tail = chain ? Tail::Chunks : Tail::Other;
    audio.ending.formEnd = formEnd;
    audio.ending.unpadded = chain ? chain->unpadded : (audio.data & 1U) != 0 && audio.data == upTo;
  }
  if (file.Failed()) {
    return std::nullopt;
  }
  return audio;
}

}  // namespace zavevuv
