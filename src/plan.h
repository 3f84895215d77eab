// SPDX-License-Identifier: MIT
// What a WAVE file's header needs, decided from the bytes read and the file's
// length alone. The decision does no I/O: the repair reads, asks, and writes
// what the plan says; the tests and the fuzzer check plans directly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "zavevuv.h"

namespace zavevuv {

// The file's first bytes, read at once: every chunk header that usually comes
// before the data chunk, and that chunk's tag at 131,072 at the latest.
inline constexpr std::uint64_t kHeadBytes = 0x20000 + 4;

// One field to store: the first `width` bytes (4 or 8) of `bytes` at `at`.
struct FieldWrite {
  std::uint64_t at = 0;
  std::array<unsigned char, 8> bytes{};
  std::size_t width = 4;
};

// A RIFF file that no 32-bit field can describe and whose writer reserved no
// room for ds64 becomes RF64 by a block of B bytes inserted at its start
// (HeadBlock), the old file following unchanged from B on.
struct Upgrade {
  std::uint64_t formEnd = 0;  // where the form ends, before the insert
  std::uint64_t data = 0;     // the audio's bytes
  std::uint64_t frames = 0;   // the sample count; 0 where the format does not tell
};

// The outcome for one file and, for Fixed and ToEnd only, the fields that
// change, in the order of their offsets.
struct Plan {
  Outcome outcome = Outcome::NoTag;
  std::vector<FieldWrite> writes;
  // TooLarge or ToEnd: the fields say "to the end of the file" (with the
  // writes above); inserting a head block makes the file RF64.
  std::optional<Upgrade> upgrade;
  // Fixed after an insert whose head block was never written: the file
  // starts with this many zero bytes, then the old header. HeadBlock goes
  // there, before the fields.
  std::uint64_t lead = 0;
  // Where an insert cut off part-way may have left its intent on the file.
  bool mayHaveIntent = false;
};

// The first `b` bytes of an upgraded file: "RF64", ds64 with the sizes, and a
// JUNK chunk reaching to b + 12, so that the old "RIFF ... WAVE" lies inside
// its body and the old file's first chunk follows it.
std::vector<unsigned char> HeadBlock(const Upgrade& upgrade, std::uint64_t b);

// Reads exactly out.size() bytes at `offset`, past the head; false when it
// cannot. Only chunk headers past the head, the chunks after the audio and
// the tags appended to the file are read this way, in blocks of 64 KiB.
using ReadMore = std::function<bool(std::uint64_t offset, std::span<unsigned char> out)>;

// Whether these bytes start like a WAVE file: "RIFF", "RF64" or "BW64" (or an
// id cut off part-way from "RIFF" to "RF64"), four bytes, "WAVE".
bool IsWaveHeader(std::span<const unsigned char> bytes);

// The plan for a file of `length` bytes whose first min(length, kHeadBytes)
// bytes are `head` (more is ignored).
Plan Decide(std::span<const unsigned char> head, std::uint64_t length, const ReadMore& more);

// A run of bytes to write at `at`.
struct Patch {
  std::uint64_t at = 0;
  std::vector<unsigned char> bytes;
};

// A plan's writes as runs of bytes, one write each. Fields within one 4 KiB
// block of each other share a run, the bytes between them as the head holds
// them; fields further apart are written apart, so the bytes between them
// are never written.
std::vector<Patch> Coalesce(std::span<const unsigned char> head,
                            std::span<const FieldWrite> writes);

// Everything a plan writes, in the order it is written: an insert's head
// block, then the fields as Coalesce joins them.
std::vector<Patch> Writes(std::span<const unsigned char> head, const Plan& plan);

}  // namespace zavevuv
