// SPDX-License-Identifier: MIT
// The containers the decision knows, and how each lays out its chunks. One
// set of rules walks them all; only the layout differs.
//
//   RIFF    "RIFF" (or "RF64", "BW64"), the size of the rest (32 bits, least
//           significant byte first), "WAVE"; chunks from 12: an id of 4
//           bytes, a 32-bit size, the body, a pad byte after an odd body.
//   AIFF    "FORM", the size of the rest (32 bits, most significant byte
//           first), "AIFF" or "AIFC"; chunks from 12 as RIFF's, big-endian.
//           "COMM" holds the format and the frame count, "SSND" an offset
//           and a block size, `offset` bytes, then the samples.
//   Wave64  the riff GUID, the size of the whole form (64 bits, least
//           significant first), the wave GUID; chunks from 40: a GUID of 16
//           bytes, a 64-bit size that counts the chunk's 24-byte header,
//           the body, padding to a multiple of 8 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "codec.h"
#include "format.h"

namespace zavevuv {

enum class Box { Riff, Aiff, W64 };

// The longest chunk header: Wave64's GUID and 64-bit size.
inline constexpr std::size_t kMostHeader = 24;

struct Container {
  Box box = Box::Riff;
  std::uint64_t idBytes = 4;    // 16 in Wave64
  std::uint64_t sizeBytes = 4;  // 8 in Wave64
  std::uint64_t align = 2;      // a body is padded to a multiple of this
  bool big = false;             // sizes most significant byte first (AIFF)
  std::uint64_t first = 12;     // where the first chunk starts
  std::uint64_t formSize = 4;   // where the form's size lies
  std::uint64_t formBias = 8;   // the form's end less its size (0: the size counts it all)
  Id format = kFmt;             // the chunk that holds the format ("COMM" in AIFF)
  Id data = kData;              // the chunk that holds the samples ("SSND" in AIFF)
  bool compressed = false;      // COMM names the compression (AIFF-C)

  [[nodiscard]] constexpr std::uint64_t Header() const { return idBytes + sizeBytes; }
  // The padding after a body of `body` bytes.
  [[nodiscard]] constexpr std::uint64_t Pad(std::uint64_t body) const {
    return (align - body % align) % align;
  }
};

inline constexpr Container kRiffChunks{};
inline constexpr Container kAiffChunks{
    .box = Box::Aiff, .big = true, .format = MakeId("COMM"), .data = MakeId("SSND")};
inline constexpr Container kAifcChunks{.box = Box::Aiff,
                                       .big = true,
                                       .format = MakeId("COMM"),
                                       .data = MakeId("SSND"),
                                       .compressed = true};
inline constexpr Container kW64Chunks{.box = Box::W64,
                                      .idBytes = 16,
                                      .sizeBytes = 8,
                                      .align = 8,
                                      .first = 40,
                                      .formSize = 16,
                                      .formBias = 0};

// How a file of form `form` lays out its chunks.
constexpr const Container& ChunksOf(Form form) {
  switch (form) {
    case Form::Aiff:
      return kAiffChunks;
    case Form::Aifc:
      return kAifcChunks;
    case Form::W64:
      return kW64Chunks;
    default:
      return kRiffChunks;
  }
}

// The id of the chunk whose header starts `bytes` (its id whole): in Wave64
// the name of a known GUID ("fmt ", "data", "fact", "list", "junk", "levl",
// "bext", "mark" for marker, "summ" for summarylist), "????" for any other.
Id IdOf(const Container& chunks, std::span<const unsigned char> bytes);

// The id of a chunk as the container writes it: the 4 bytes in RIFF and
// AIFF, the GUID of a known name in Wave64 (the first 4 bytes of `out`, or
// all 16).
std::array<unsigned char, 16> IdBytes(const Container& chunks, const Id& name);

// The body's size from a whole chunk header; nothing where it cannot be one
// (an id no writer uses, a Wave64 size smaller than its header).
std::optional<std::uint64_t> BodyOf(const Container& chunks, std::span<const unsigned char> header);

// A field of `bytes.size()` bytes (2, 4 or 8) in the container's byte order.
inline std::uint64_t Field(const Container& chunks, std::span<const unsigned char> bytes) {
  return AssemN(bytes, chunks.big);
}
// `value` as a field of `width` bytes in that order, in the first `width`.
inline std::array<unsigned char, 8> FieldBytes(const Container& chunks, std::uint64_t value,
                                               std::size_t width) {
  return DeconN(value, width, chunks.big);
}

// Whether `id` is one that writers put after the audio in this container.
bool KnownAfterAudio(const Container& chunks, const Id& id);

// The offsets in `bytes`, which start at file offset `at`, where such an id
// starts with a whole chunk header after it, ascending.
std::vector<std::uint64_t> AfterAudioIdsIn(const Container& chunks,
                                           std::span<const unsigned char> bytes, std::uint64_t at);

// Whether `bytes`, fewer than an id, are the start of such an id: a copy cut
// inside it.
bool StartsKnownAfterAudio(const Container& chunks, std::span<const unsigned char> bytes);

}  // namespace zavevuv
