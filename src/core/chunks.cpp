// SPDX-License-Identifier: MIT
#include "chunks.h"

#include <algorithm>
#include <array>
#include <string_view>

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
constexpr std::uint64_t kPcm = 1, kAlaw = 6, kMulaw = 7;  // format tags

std::uint64_t Field2(const FileBytes& file, std::uint64_t at) { return Assem2(file.Head<2>(at)); }

// The first data chunk at an offset its container may start a chunk at,
// from `from` to the probe's end.
std::optional<std::uint64_t> Probe(const FileBytes& file, std::uint64_t from) {
  const Container& chunks = file.Chunks();
  for (std::uint64_t h = from; h <= kProbeEnd && file.InHead(h, chunks.idBytes);
       h += chunks.align) {
    if (IdOf(chunks, file.Head(h, chunks.idBytes)) == chunks.data) {
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
  // RIFF's 8-bit PCM is unsigned: its silence is 0x80.
  const std::uint64_t tag = layout.format & 0xFFFFU;
  layout.zeroIsLoud = tag == kPcm || tag == kAlaw || tag == kMulaw;
}

// The frames a second of an AIFF COMM chunk: an 80-bit extended float, its
// sign and exponent first, then a 64-bit mantissa with the integer bit.
std::uint64_t AiffRate(std::span<const unsigned char, 10> bytes) {
  const std::uint64_t exponent = Field(kAiffChunks, bytes.first<2>()) & 0x7FFFU;
  const std::uint64_t mantissa = Field(kAiffChunks, bytes.subspan<2, 8>());
  constexpr std::uint64_t kBias = 16383 + 63;  // the exponent of a mantissa read as a number
  if (exponent > kBias || kBias - exponent >= 64) {
    return 0;  // past 2^63 frames a second, or under one
  }
  return mantissa >> (kBias - exponent);
}

// The bytes of one frame of an AIFF-C compression type that we count, 0 for
// any other: PCM either way round ("sowt" little-endian, "twos" as AIFF's),
// IEEE float, A-law, mu-law, and IMA ADPCM in packets of 34 bytes (64
// frames) a channel, which the frame count counts.
std::uint64_t AiffFrame(const Id& type, std::uint64_t channels, std::uint64_t bits) {
  const auto is = [&](std::string_view a, std::string_view b = "") {
    return type == MakeId(a) || (!b.empty() && type == MakeId(b));
  };
  if (is("NONE") || is("sowt", "twos")) {
    return channels * ((bits + 7) / 8);
  }
  if (is("fl32", "FL32")) {
    return channels * 4;
  }
  if (is("fl64", "FL64")) {
    return channels * 8;
  }
  if (is("ulaw", "ULAW") || is("alaw", "ALAW")) {
    return channels;
  }
  return is("ima4") ? channels * 34 : 0;
}

// An AIFF COMM chunk: channels, the frame count, the sample size, the rate,
// and in AIFF-C the compression type.
void ReadComm(const FileBytes& file, std::uint64_t body, std::uint64_t size, Layout& layout) {
  constexpr std::uint64_t kComm = 18;  // the body of AIFF's
  constexpr std::uint64_t kAifc = 22;  // and of AIFF-C's, to its compression type
  if (size < kComm || !file.InHead(body, kComm)) {
    return;
  }
  const std::uint64_t channels = Field(kAiffChunks, file.Head<2>(body));
  const std::uint64_t bits = Field(kAiffChunks, file.Head<2>(body + 6));
  Id type = MakeId("NONE");
  if (file.Chunks().compressed) {
    if (size < kAifc || !file.InHead(body + kComm, 4)) {
      return;
    }
    std::ranges::copy(file.Head(body + kComm, 4), type.begin());
  }
  layout.blockAlign = AiffFrame(type, channels, bits);
  layout.format = layout.blockAlign != 0 ? 1 : 0;  // counted in frames, as PCM is
  layout.unknownFormat = layout.blockAlign == 0;
  layout.sampleRate = AiffRate(file.Head<10>(body + 8));
  layout.factAt = body + 2;
  layout.perCount = type == MakeId("ima4") ? 64 : 1;  // its count counts packets
  // AIFF's 8-bit PCM is signed: 0x00 is silence there.
  layout.zeroIsLoud = std::ranges::any_of(std::array{"ulaw", "ULAW", "alaw", "ALAW"},
                                          [&](const char* law) { return type == MakeId(law); });
}

// What a chunk that parsed tells: the room at 12, the format, the count.
void Learn(const FileBytes& file, std::uint64_t at, const Id& id, std::uint64_t size,
           Layout& layout) {
  const Container& chunks = file.Chunks();
  const std::uint64_t body = at + chunks.Header();
  if (at == kFirstChunk && chunks.box == Box::Riff) {
    layout.first = id;
    layout.firstSize = size;
    layout.roomFor64 = Between(id, kDs64, kJunk) && size >= kDs64Body;
  }
  if (id == chunks.format) {
    layout.formatAt = body;
    layout.formatSize = size;
  }
  if (id == chunks.format && chunks.box == Box::Aiff) {
    ReadComm(file, body, size, layout);
  } else if (id == chunks.format) {
    ReadFormat(file, body, size, layout);
  }
  if (id == kFact && chunks.box != Box::Aiff && size >= 4) {
    layout.factAt = body;
  }
}

}  // namespace

Layout Walk(FileBytes& file) {
  const Container& chunks = file.Chunks();
  const std::uint64_t n = chunks.Header();
  Layout layout;
  std::uint64_t at = chunks.first;
  int far = 0;  // past the head, chunks that parse are still followed, a header per read
  while (at < file.Length() && file.Length() - at >= chunks.idBytes) {
    std::array<unsigned char, kMostHeader> header{};
    const auto got =
        std::span(header).first(static_cast<std::size_t>(std::min(n, file.Length() - at)));
    if (!file.InHead(at, got.size()) && (++far > kMaxFarChunks || !file.Read(at, got))) {
      return layout;
    }
    if (file.InHead(at, got.size())) {
      std::ranges::copy(file.Head(at, got.size()), got.begin());
    }
    const Id id = IdOf(chunks, got);
    if (id == chunks.data) {
      layout.dataChunk = at;
      return layout;
    }
    const std::optional<std::uint64_t> size =
        got.size() == n ? BodyOf(chunks, got) : std::optional<std::uint64_t>(0);
    if (!size || (chunks.box != Box::W64 && !Printable(got))) {
      layout.dataChunk = Probe(file, at);
      return layout;
    }
    if (got.size() < n || *size > file.Length() - at - n) {
      // A chunk that runs past the end. One a writer puts before the audio
      // means the copy was cut before its audio; anything else may be a
      // broken chunk with the data chunk intact behind it.
      if (KnownAfterAudio(chunks, id) || id == chunks.format) {
        layout.cutBefore = true;
      } else {
        layout.dataChunk = Probe(file, at);
      }
      return layout;
    }
    Learn(file, at, id, *size, layout);
    at += n + *size + chunks.Pad(*size);
  }
  return layout;
}

}  // namespace zavevuv
