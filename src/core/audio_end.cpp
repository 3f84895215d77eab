// SPDX-License-Identifier: MIT
#include "audio_end.h"

#include <algorithm>
#include <array>
#include <vector>

#include "format.h"
#include "tags.h"

namespace zavevuv {
namespace {

// `bytes` up to a chain or the form's end, less the pad byte that follows
// odd-sized audio where the block align tells it; in frames of one byte,
// where a fact count tells it or, with no count that does, where the last
// byte is 0x00 in a format whose 0x00 is a loud sample (a take rarely ends on
// one; a writer pads with it). Signed 8-bit audio, whose 0x00 is silence,
// may end in it anywhere, so there the byte stays audio.
std::uint64_t WithoutPad(FileBytes& file, std::uint64_t bytes, const Stated& header) {
  if (bytes % 2 != 0 || bytes == 0) {
    return bytes;
  }
  if (header.frame != 1) {
    return CountsPadByte(bytes, header.blockAlign) ? bytes - 1 : bytes;
  }
  const std::optional<std::uint64_t> count = header.factCount;
  if (count && (*count == bytes || *count + 1 == bytes)) {
    return *count;  // the count tells: the last byte is audio, or the pad byte
  }
  std::array<unsigned char, 1> last{};
  const bool zero =
      header.zeroIsLoud && file.Read(header.firstSample + bytes - 1, last) && last[0] == 0;
  return zero ? bytes - 1 : bytes;
}

// Wave64 pads to 8 bytes. The audio before a chain there is whole frames (a
// fact count's, where frames are a byte) followed by their padding, and
// where several lengths fit, the one after which the writer's zeros stand.
std::uint64_t WithoutPadding(FileBytes& file, std::uint64_t bytes, const Stated& header) {
  const Container& chunks = file.Chunks();
  const std::optional<std::uint64_t> count = header.frame == 1 ? header.factCount : std::nullopt;
  if (count && *count <= bytes && chunks.Pad(*count) == bytes - *count) {
    return *count;
  }
  std::optional<std::uint64_t> best;
  for (std::uint64_t pad = 0; pad < chunks.align && pad <= bytes; ++pad) {
    const std::uint64_t audio = bytes - pad;
    if ((header.frame > 1 && audio % header.frame != 0) || chunks.Pad(audio) != pad) {
      continue;
    }
    std::array<unsigned char, 8> after{};
    const auto padding = std::span(after).first(static_cast<std::size_t>(pad));
    if (!best || (file.Read(header.firstSample + audio, padding) &&
                  std::ranges::all_of(padding, [](unsigned char b) { return b == 0; }))) {
      best = audio;
    }
  }
  return best.value_or(bytes);
}

// A writer that counted its own chunks after the audio in ds64's data size
// (ffmpeg's levl): where the sample count's bytes end, a chain of chunks
// begins that reaches the form's end, and the stated size covers it. The
// count is right there, and the data size wrong.
std::optional<Audio> CountedOwnChunks(FileBytes& file, const Stated& header,
                                      std::span<const std::uint64_t> ends) {
  if (!header.counted || header.sizes.empty() || *header.counted >= header.sizes.front()) {
    return std::nullopt;
  }
  const std::uint64_t chainFrom = header.firstSample + *header.counted + kChunkHeader;
  const Ending ending = AfterStated(file, header.firstSample, *header.counted, ends);
  if (ending.tail != Tail::Chunks || ending.formEnd < chainFrom ||
      header.firstSample + header.sizes.front() < ending.formEnd) {
    return std::nullopt;
  }
  return Audio{.data = *header.counted, .ending = ending};
}

// No stated size holds: the audio ends where a chain of chunks found from
// the end starts, or else at the form's end, in whole frames where the
// format tells; the rest of a partial frame stays after it, outside the form,
// unless it reads as what may follow audio (a chunk cut short, say): then it
// is taken so, as the next look will take it.
Audio FromTheEnd(FileBytes& file, const Stated& header, std::span<const std::uint64_t> ends) {
  const std::uint64_t first = header.firstSample;
  const std::uint64_t formEnd = ends.back();
  const Container& chunks = file.Chunks();
  const auto chain = ChainFromEnd(file, {first, formEnd, header.size32, header.frame, chunks});
  Audio audio;
  audio.ending.formEnd = formEnd;
  if (chain) {
    audio.data = chunks.align > 2 ? WithoutPadding(file, chain->at - first, header)
                                  : WithoutPad(file, chain->at - first, header);
    audio.ending.tail = chain->cut ? Tail::Cut : Tail::Chunks;
    audio.ending.unpadded = chain->unpadded;
    // As the next look, from the size now stated, will find it.
    const Ending after = AfterStated(file, first, audio.data, ends);
    if (after.tail == Tail::Cut) {
      audio.ending = after;
    }
    return audio;
  }
  const std::uint64_t upTo = formEnd - first;
  audio.data = header.frame > 1   ? upTo - upTo % header.frame
               : chunks.align > 2 ? upTo
                                  : WithoutPad(file, upTo, header);
  const std::uint64_t padded = audio.data + chunks.Pad(audio.data);
  audio.ending.unpadded = padded > upTo;
  if (audio.data < upTo) {  // in Wave64 the rest may lie within the padding
    if (padded < upTo) {
      audio.ending.formEnd = first + padded;
      audio.ending.exact = true;
    }
    const Ending after = AfterStated(file, first, audio.data, ends);
    if (after.tail != Tail::Other) {
      audio.ending = after;
    }
  }
  return audio;
}

}  // namespace

std::optional<Audio> WhereAudioEnds(FileBytes& file, const Stated& header) {
  const std::uint64_t toEnd = file.Length() - header.firstSample;
  const std::span<const std::uint64_t> stated = header.sizes;
  // Tags appended to the file are never audio; they are looked for unless
  // the stated audio (and its pad byte) reaches the end of the file, as in
  // almost every correct file.
  const std::uint64_t first = stated.empty() ? 0 : stated.front();
  const bool reachesEnd =
      !stated.empty() && first <= toEnd && toEnd - first <= file.Chunks().Pad(first);
  const std::vector<std::uint64_t> ends =
      reachesEnd ? std::vector{file.Length()} : FormEnds(file, header.firstSample);
  if (auto counted = CountedOwnChunks(file, header, ends)) {
    return file.Failed() ? std::nullopt : counted;
  }
  Audio audio;
  for (const std::uint64_t size : stated) {
    if (size <= toEnd) {
      audio.ending = AfterStated(file, header.firstSample, size, ends);
      if (audio.ending.tail != Tail::Other) {
        audio.data = size;
        break;
      }
    }
  }
  if (audio.ending.tail == Tail::Unreadable || file.Failed()) {
    return std::nullopt;
  }
  if (audio.ending.tail == Tail::Other) {
    audio = FromTheEnd(file, header, ends);
  }
  if (file.Failed()) {
    return std::nullopt;
  }
  return audio;
}

}  // namespace zavevuv
