// SPDX-License-Identifier: MIT
// A sibling take: a file from the same recorder and session whose header
// stands. Its header says what a lost one said, but for the sizes; what it
// says of its own recording (bext, iXML, LIST, cue) is not kept.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "container.h"
#include "file_bytes.h"
#include "format.h"
#include "samples.h"

namespace zavevuv {

struct Take {
  Form form = Form::None;             // Riff, Rf64 (RF64 or BW64), Aiff, Aifc or W64
  Id formId{};                        // the id at 0: "RIFF", "RF64", "BW64" or "FORM"
  std::vector<unsigned char> format;  // the format chunk's body, as the take holds it
  bool fact = false;                  // the take counts its samples in fact (RIFF, Wave64)
  std::uint64_t firstSample = 0;      // where its audio starts
  bool fver = false;                  // AIFF-C: the take has FVER first, as writers put it
  Encoding encoding;                  // how its samples read
  unsigned channels = 0;
  std::uint64_t frame = 0;       // a frame's bytes
  std::uint64_t sampleRate = 0;  // frames a second
};

// The take whose first bytes are `head`, of `length` bytes; nothing where
// its header does not stand, or its samples are of a format no bytes can be
// tested against (ADPCM, GSM, a compression not known).
std::optional<Take> ReadTake(std::span<const unsigned char> head, std::uint64_t length,
                             const ReadMore& more);

// The head a file of the take's kind has with its audio starting at
// `start`: the form, the take's format (and fact, the take's FVER-less
// AIFF-C gets one), then padding to `start` (a JUNK chunk, Wave64's junk
// chunk, or AIFF's SSND offset), and the data chunk's header, every size 0
// for the decision to make true. Nothing where `start` leaves no room for
// it, or cannot start a sample there (a WAV chunk starts at an even offset,
// a Wave64 one at a multiple of 8). With `before` (a damaged head), the
// data chunk's header is not part of it: the head ends at `start` with the
// padding, where the file's own chunks go on.
std::optional<std::vector<unsigned char>> HeadOf(const Take& take, std::uint64_t start,
                                                 bool before = false);

}  // namespace zavevuv
