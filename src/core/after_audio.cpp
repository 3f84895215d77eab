// SPDX-License-Identifier: MIT
#include "after_audio.h"

#include <algorithm>
#include <array>

#include "codec.h"
#include "format.h"

namespace zavevuv {
namespace {

constexpr int kMaxChainChunks = 1024;  // chunks followed after the stated audio

// Whether the bytes from `from` are chunks a writer put after the audio: a
// chain of chunks ending at one of `ends` (the last pad byte may be missing),
// or one whose last chunk a cut copy left short, when every id in it is one
// that writers put after the audio. `unpadded`: the audio is odd-sized and
// `from` is right after it.
Ending Chain(FileBytes& file, std::uint64_t from, std::span<const std::uint64_t> ends,
             bool unpadded) {
  const auto isEnd = [&](std::uint64_t at) { return std::ranges::find(ends, at) != ends.end(); };
  if (isEnd(from)) {
    return {Tail::Chunks, from, unpadded};
  }
  bool known = true;
  std::uint64_t at = from;
  for (int chunk = 0; chunk < kMaxChainChunks && at < file.Length(); ++chunk) {
    const std::uint64_t left = file.Length() - at;
    if (left < 4) {
      return {};
    }
    std::array<unsigned char, kChunkHeader> header{};
    const auto got =
        std::span(header).first(static_cast<std::size_t>(std::min(left, kChunkHeader)));
    if (!file.Read(at, got)) {
      return {Tail::Unreadable};
    }
    if (!Printable(header)) {
      return {};
    }
    known = known && KnownAfterAudio(header);
    if (left < kChunkHeader) {
      return {known ? Tail::Cut : Tail::Other};  // cut inside the size field
    }
    const auto size = static_cast<std::uint64_t>(Assem4(std::span(header).last<4>()));
    const std::uint64_t end = at + kChunkHeader + size;
    if (end > file.Length()) {
      return {known ? Tail::Cut : Tail::Other};  // cut inside the body
    }
    const std::uint64_t pad = size & 1U;
    if (isEnd(end + pad)) {
      return {Tail::Chunks, end + pad, false};
    }
    if (pad != 0 && isEnd(end)) {
      return {Tail::Chunks, end, true};
    }
    at = end + pad;
  }
  return {};
}

}  // namespace

Ending AfterStated(FileBytes& file, std::uint64_t firstSample, std::uint64_t stored,
                   std::span<const std::uint64_t> ends) {
  const std::uint64_t end = firstSample + stored;
  Ending best;
  for (const bool padded : {true, false}) {
    if (!padded && (stored & 1U) == 0) {
      continue;
    }
    const std::uint64_t from = end + (padded ? stored & 1U : 0);
    if (from > file.Length()) {
      continue;
    }
    const Ending ending = Chain(file, from, ends, !padded);
    if (ending.tail == Tail::Chunks || ending.tail == Tail::Unreadable) {
      return ending;
    }
    if (ending.tail == Tail::Cut) {
      best = ending;
    }
  }
  return best;
}

}  // namespace zavevuv
