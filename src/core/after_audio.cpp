// SPDX-License-Identifier: MIT
#include "after_audio.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "codec.h"
#include "format.h"
#include "tags.h"

namespace zavevuv {
namespace {

constexpr int kMaxChainChunks = 1024;  // chunks followed after the stated audio

// A chunk header that the end of the file cuts short at `at`: the form ends
// before it.
Ending CutHeader(std::uint64_t at) { return {.tail = Tail::Cut, .formEnd = at, .exact = true}; }

// The bytes from `at` to the end of the file, fewer than a chunk's id: the
// start of an after-audio id, cut there, or not.
Ending ShortTail(FileBytes& file, std::uint64_t at) {
  std::array<unsigned char, kMostHeader> bytes{};
  const auto got = std::span(bytes).first(static_cast<std::size_t>(file.Length() - at));
  if (!file.Read(at, got)) {
    return {Tail::Unreadable};
  }
  return StartsKnownAfterAudio(file.Chunks(), got) ? CutHeader(at) : Ending{};
}

// Whether the bytes from `from` are chunks a writer put after the audio: a
// chain of chunks ending at one of `ends` (the last padding may be missing),
// or one whose last chunk, id or tag after it a cut copy left short, when
// every id in it is one that writers put after the audio. `unpadded`: the
// audio's padding is missing and `from` is right after it.
Ending Chain(FileBytes& file, std::uint64_t from, std::span<const std::uint64_t> ends,
             bool unpadded) {
  const Container& chunks = file.Chunks();
  const std::uint64_t n = chunks.Header();
  const auto isEnd = [&](std::uint64_t at) { return std::ranges::find(ends, at) != ends.end(); };
  if (isEnd(from)) {
    return {Tail::Chunks, from, unpadded};
  }
  bool known = true;
  std::uint64_t at = from;
  for (int chunk = 0; chunk < kMaxChainChunks; ++chunk) {
    const std::uint64_t left = file.Length() - at;
    if (known && CutTagAt(file, at)) {
      return {Tail::Cut};
    }
    if (left < chunks.idBytes) {
      return known ? ShortTail(file, at) : Ending{};
    }
    std::array<unsigned char, kMostHeader> header{};
    const auto got = std::span(header).first(static_cast<std::size_t>(std::min(left, n)));
    if (!file.Read(at, got)) {
      return {Tail::Unreadable};
    }
    if (chunks.box != Box::W64 && !Printable(header)) {
      return {};
    }
    known = known && KnownAfterAudio(chunks, IdOf(chunks, got));
    if (left < n) {
      return known ? CutHeader(at) : Ending{};  // cut inside the size field
    }
    const std::optional<std::uint64_t> size = BodyOf(chunks, got);
    if (!size) {
      return {};
    }
    if (*size > left - n) {
      return {known ? Tail::Cut : Tail::Other};  // cut inside the body
    }
    const std::uint64_t end = at + n + *size;
    const std::uint64_t pad = chunks.Pad(*size);
    if (isEnd(end + pad)) {
      return {Tail::Chunks, end + pad, false};
    }
    // The last chunk's padding missing, or in Wave64 cut part-way.
    for (std::uint64_t partial = end; partial < end + pad; ++partial) {
      if (isEnd(partial)) {
        return {Tail::Chunks, partial, true};
      }
    }
    at = end + pad;
    if (at >= file.Length()) {
      return {};
    }
  }
  return {Tail::Long};  // still parsing: a chain longer than is followed
}

}  // namespace

Ending AfterStated(FileBytes& file, std::uint64_t firstSample, std::uint64_t stored,
                   std::span<const std::uint64_t> ends) {
  const std::uint64_t end = firstSample + stored;
  const std::uint64_t pad = file.Chunks().Pad(stored);
  Ending best;
  for (const bool padded : {true, false}) {
    if (!padded && pad == 0) {
      continue;
    }
    const std::uint64_t from = end + (padded ? pad : 0);
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

}  // namespace zavevuv
