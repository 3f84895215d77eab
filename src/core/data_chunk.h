// SPDX-License-Identifier: MIT
// What a look finds of the data chunk ("SSND" in AIFF): where it and its
// audio start, its size field as read, the sizes it states, and how the
// file keeps its sizes (32-bit fields, ds64, Wave64's 64-bit fields).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "chunks.h"
#include "file_bytes.h"
#include "format.h"
#include "outcome.h"

namespace zavevuv {

struct Facts {
  Form form = Form::None;
  Layout layout;
  std::uint64_t h = 0;                      // where the data chunk starts
  std::uint64_t firstSample = 0;            // where its audio starts
  std::uint64_t sizeAt = 0;                 // where its size field lies
  std::array<unsigned char, 8> dataSize{};  // that field as read, in its first sizeBytes
  std::uint64_t overhead = 0;  // what the field counts besides the audio: AIFF's offset and block
                               // size and `offset` bytes, Wave64's chunk header
  std::uint64_t toEnd = 0;     // the bytes from the first sample on
  bool fits32 = false;         // the audio and the form fit 32-bit fields
  bool wide = false;           // the sizes are kept in ds64
  bool hasDs64 = false;        // and ds64 is there already
  std::array<unsigned char, 4> fact{};  // the sample count's field as read (fact, or AIFF's COMM)
  std::optional<std::uint64_t> factCount;  // and what it holds, where there is one

  [[nodiscard]] std::span<const unsigned char> SizeField(const Container& chunks) const {
    return std::span(dataSize).first(static_cast<std::size_t>(chunks.sizeBytes));
  }
};

// The data chunk of a file of form `form`, and what the walk to it learned;
// or the outcome where there is none to repair.
std::variant<Outcome, Facts> Examine(FileBytes& file, Form form);

// The audio sizes the header states, best first: from ds64 where it is, else
// the data chunk's field less what it counts besides the audio.
std::vector<std::uint64_t> StatedSizes(const FileBytes& file, const Facts& facts);

}  // namespace zavevuv
