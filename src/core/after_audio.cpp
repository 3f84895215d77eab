// SPDX-License-Identifier: MIT
#include "after_audio.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <utility>
#include <vector>

#include "codec.h"
#include "format.h"
#include "tags.h"

namespace zavevuv {
namespace {

constexpr int kMaxChainChunks = 1024;  // chunks followed after the stated audio
// Chains are looked for from the end within the block the tags already read.
constexpr std::uint64_t kWindow = kBlockBytes;
constexpr std::uint64_t kWrap = 0x100000000;  // 2^32: a wrapped size lacks multiples of it

// The bytes from `at` to the end of the file, fewer than a chunk's id: the
// start of an after-audio id, cut there, or not.
Ending ShortTail(FileBytes& file, std::uint64_t at) {
  std::array<unsigned char, 3> bytes{};
  const auto got = std::span(bytes).first(static_cast<std::size_t>(file.Length() - at));
  if (!file.Read(at, got)) {
    return {Tail::Unreadable};
  }
  return {StartsKnownAfterAudio(got) ? Tail::Cut : Tail::Other};
}

// Whether the bytes from `from` are chunks a writer put after the audio: a
// chain of chunks ending at one of `ends` (the last pad byte may be missing),
// or one whose last chunk, id or tag after it a cut copy left short, when
// every id in it is one that writers put after the audio. `unpadded`: the
// audio is odd-sized and `from` is right after it.
Ending Chain(FileBytes& file, std::uint64_t from, std::span<const std::uint64_t> ends,
             bool unpadded) {
  const auto isEnd = [&](std::uint64_t at) { return std::ranges::find(ends, at) != ends.end(); };
  if (isEnd(from)) {
    return {Tail::Chunks, from, unpadded};
  }
  bool known = true;
  std::uint64_t at = from;
  for (int chunk = 0; chunk < kMaxChainChunks; ++chunk) {
    const std::uint64_t left = file.Length() - at;
    if (left < 4) {
      return known ? ShortTail(file, at) : Ending{};
    }
    if (known && CutTagAt(file, at)) {
      return {Tail::Cut};
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
    if (at >= file.Length()) {
      return {};
    }
  }
  return {Tail::Long};  // still parsing: a chain longer than is followed
}

// The chunk of known id at the start of `bytes`, if one is there and ends
// within them: where it ends, before its pad byte, and that pad byte's size.
std::optional<std::pair<std::uint64_t, std::uint64_t>> KnownChunk(
    std::span<const unsigned char> bytes) {
  if (bytes.size() < kChunkHeader || !Printable(bytes) || !KnownAfterAudio(bytes)) {
    return std::nullopt;
  }
  const auto size = static_cast<std::uint64_t>(Assem4(bytes.subspan<4, 4>()));
  const std::uint64_t end = kChunkHeader + size;
  return end <= bytes.size() ? std::optional(std::pair(end, size & 1U)) : std::nullopt;
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
    if (best.tail == Tail::Other && (ending.tail == Tail::Cut || ending.tail == Tail::Long)) {
      best = ending;
    }
  }
  return best;
}

std::optional<ChainStart> ChainFromEnd(FileBytes& file, std::uint64_t firstSample,
                                       std::uint64_t formEnd, std::optional<std::uint64_t> size32) {
  const std::uint64_t length = file.Length();
  const std::uint64_t lo = std::max(firstSample + 1, length > kWindow ? length - kWindow : 0);
  if (formEnd < lo + kChunkHeader) {
    return std::nullopt;
  }
  // From the end backward: which offsets start a chain that ends at formEnd,
  // and which are the next chunk of another such chain.
  const std::span<const unsigned char> window = file.View(lo, formEnd - lo);
  if (window.empty()) {
    return std::nullopt;
  }
  std::bitset<kWindow> reaches;
  std::bitset<kWindow> followsOne;
  std::bitset<kWindow> unpadded;
  std::vector<std::uint64_t> reaching;  // backward, so the starts come out last first
  for (std::uint64_t at = formEnd - kChunkHeader + 1; at-- > lo;) {
    if (!StartsAnAfterAudioId(window[static_cast<std::size_t>(at - lo)])) {
      continue;
    }
    const auto chunk = KnownChunk(window.subspan(static_cast<std::size_t>(at - lo)));
    if (!chunk) {
      continue;
    }
    const std::uint64_t end = at + chunk->first;
    const std::uint64_t next = end + chunk->second;
    const bool last = next == formEnd || (chunk->second != 0 && end == formEnd);
    if (last || (next < formEnd && reaches[next - lo])) {
      reaches[at - lo] = true;
      unpadded[at - lo] = next == formEnd ? false : end == formEnd || unpadded[next - lo];
      reaching.push_back(at);
      if (!last) {
        followsOne[next - lo] = true;
      }
    }
  }
  std::ranges::reverse(reaching);
  std::vector<ChainStart> starts;
  for (const std::uint64_t at : reaching) {
    if (!followsOne[at - lo]) {
      starts.push_back({at, unpadded[at - lo]});
    }
  }
  if (file.Failed()) {
    return std::nullopt;
  }
  if (starts.size() > 1 && size32) {
    std::erase_if(starts, [&](const ChainStart& start) {
      const std::uint64_t audio = start.at - firstSample;
      return audio % kWrap != *size32 && (audio - 1) % kWrap != *size32;
    });
  }
  return starts.size() == 1 ? std::optional(starts.front()) : std::nullopt;
}

}  // namespace zavevuv
