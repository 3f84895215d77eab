// SPDX-License-Identifier: MIT
// Bytes read as samples, as an editor's raw import guesses a format: each
// encoding at each byte phase, scored by how far a channel's samples jump
// from one to the next. Real audio moves little between two samples; read
// with the wrong width, byte order or encoding it looks like noise, or
// wraps around (a sign read as a high bit, a float's exponent as an
// integer's top bits) where the audio crosses zero.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "file_bytes.h"

namespace zavevuv {

enum class SampleKind { Int, Unsigned, Float, Ulaw, Alaw };

struct Encoding {
  SampleKind kind = SampleKind::Int;
  unsigned bytes = 2;  // a sample's bytes
  bool big = false;    // most significant byte first
  bool operator==(const Encoding&) const = default;
};

// A reading whose noise is under this is audio.
inline constexpr double kAudio = 1.0;

// How bytes read as an encoding from a byte on, as channels of 1, 2, 4, 6 or
// 8 (the fewest where more do not move clearly less): `jump`, the mean jump
// between a channel's successive samples against the encoding's full
// scale, which ranks the readings of the same bytes; and `noise`, that jump
// against the samples' mean distance from their mean, which tells audio
// (well under 1) from noise (about 1.3).
struct Score {
  double jump = 0;
  double noise = 0;
  unsigned channels = 1;
};

struct Reading {
  Encoding encoding;
  unsigned phase = 0;  // where its first whole sample starts in the bytes
  Score score;
};

// Every encoding (8-bit unsigned and signed, 16, 24 and 32-bit integers and
// 32 and 64-bit floats in either byte order, mu-law, A-law) at every phase,
// best (least jump) first; but none that tells nothing: silence, floats no
// audio holds (not finite, past +-16, or nearer zero than 1e-20 but for
// zero) in more than 1 sample in 100 (fewer are read as silence), or a best
// reading of 16 or 32-bit integers whose low halves move about as little as
// the samples do (samples of half the width in pairs: 16-bit stereo read as
// 32-bit mono).
std::vector<Reading> Readings(std::span<const unsigned char> bytes);

// Every reading of a file's audio, weighed at two places of up to 64 KiB (a
// third and two thirds of the way, or once where it is short), each reading
// at its worse; one that tells nothing at a place where others tell
// something is dropped. Nothing where a read fails (the file says so).
std::vector<Reading> Weigh(FileBytes& file);

}  // namespace zavevuv
