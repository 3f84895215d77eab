// SPDX-License-Identifier: MIT
#include "chunks.h"

#include <algorithm>
#include <array>

#include "codec.h"

namespace zavevuv {
namespace {

constexpr std::uint64_t kFmtFormat = 0;        // fmt body + 0: the format tag, 16 bits
constexpr std::uint64_t kFmtRate = 4;          // fmt body + 4: frames a second, 32 bits
constexpr std::uint64_t kFmtBlockAlign = 12;   // fmt body + 12: bytes per block, 16 bits
constexpr std::uint64_t kFmtBody = 16;         // the smallest fmt body
constexpr std::uint64_t kFmtPerBlock = 18;     // fmt body + 18: ADPCM samples per block, 16 bits
constexpr std::uint64_t kFmtSubFormat = 24;    // fmt body + 24: an extensible format's format tag
constexpr int kMaxFarChunks = 64;              // chunk headers read past the head
constexpr std::uint64_t kExtensible = 0xFFFE;  // WAVE_FORMAT_EXTENSIBLE: the format follows

std::uint64_t Field2(const FileBytes& file, std::uint64_t at) { return Assem2(file.Head<2>(at)); }

// The first "data" at an even offset from `from` to the probe's end.
std::optional<std::uint64_t> Probe(const FileBytes& file, std::uint64_t from) {
  for (std::uint64_t h = from; h <= kProbeEnd && file.InHead(h, 4); h += 2) {
    if (file.Is(h, kData)) {
      return h;
    }
  }
  return std::nullopt;
}

void ReadFormat(const FileBytes& file, std::uint64_t body, std::uint64_t size, Layout& layout) {
  if (size < kFmtBody || !file.InHead(body, kFmtBody)) {
    return;
  }
  layout.format = Field2(file, body + kFmtFormat);
  layout.sampleRate = static_cast<std::uint64_t>(Assem4(file.Head<4>(body + kFmtRate)));
  layout.blockAlign = Field2(file, body + kFmtBlockAlign);
  if (size >= kFmtPerBlock + 2 && file.InHead(body + kFmtPerBlock, 2)) {
    layout.perBlock = Field2(file, body + kFmtPerBlock);
  }
  if (layout.format == kExtensible && size >= kFmtSubFormat + 2 &&
      file.InHead(body + kFmtSubFormat, 2)) {
    layout.format = kExtensible << 16U | Field2(file, body + kFmtSubFormat);
  }
}

// What a chunk that parsed tells: the room at 12, the format, the fact count.
void Learn(const FileBytes& file, std::uint64_t at, std::span<const unsigned char> header,
           std::uint64_t size, Layout& layout) {
  const std::uint64_t body = at + kChunkHeader;
  if (at == kFirstChunk) {
    std::ranges::copy(header.first(4), layout.first.begin());
    layout.firstSize = size;
    layout.roomFor64 = Between(header, kDs64, kJunk) && size >= kDs64Body;
  }
  if (IsId(header, kFmt)) {
    ReadFormat(file, body, size, layout);
  }
  if (IsId(header, kFact) && size >= 4) {
    layout.factAt = body;
  }
}

}  // namespace

Layout Walk(FileBytes& file) {
  Layout layout;
  std::uint64_t at = kFirstChunk;
  int far = 0;  // past the head, chunks that parse are still followed, a header per read
  while (at < file.Length() && file.Length() - at >= 4) {
    std::array<unsigned char, kChunkHeader> header{};
    const auto got = std::span(header).first(
        static_cast<std::size_t>(std::min(kChunkHeader, file.Length() - at)));
    if (!file.InHead(at, got.size()) && (++far > kMaxFarChunks || !file.Read(at, got))) {
      return layout;
    }
    if (file.InHead(at, got.size())) {
      std::ranges::copy(file.Head(at, got.size()), got.begin());
    }
    if (IsId(header, kData)) {
      layout.dataChunk = at;
      return layout;
    }
    const std::uint64_t size = got.size() == kChunkHeader
                                   ? static_cast<std::uint64_t>(Assem4(std::span(header).last<4>()))
                                   : 0;
    if (!Printable(header)) {
      layout.dataChunk = Probe(file, at);
      return layout;
    }
    if (got.size() < kChunkHeader || at + kChunkHeader + size > file.Length()) {
      // A chunk that runs past the end. One a writer puts before the audio
      // means the copy was cut before its audio; anything else may be a
      // broken chunk with the data chunk intact behind it.
      if (KnownAfterAudio(header) || IsId(header, kFmt)) {
        layout.cutBefore = true;
      } else {
        layout.dataChunk = Probe(file, at);
      }
      return layout;
    }
    Learn(file, at, header, size, layout);
    at += kChunkHeader + size + (size & 1U);
  }
  return layout;
}

}  // namespace zavevuv
