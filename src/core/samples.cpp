// SPDX-License-Identifier: MIT
#include "samples.h"

#include <algorithm>
#include <array>
#include <bit>

namespace zavevuv {
namespace {

constexpr std::uint64_t kPlace = 0x10000;  // the audio tested at each of two places
constexpr std::uint64_t kPhases = 24;      // a multiple of every sample's width
constexpr double kLoudest = 16.0;          // floats past this are no audio
constexpr double kQuietest = 1e-20;        // nor are those nearer zero, but for zero
constexpr std::size_t kStrangest = 100;    // a reading with more than 1 in 100 of those is none
constexpr std::size_t kMostChannels = 8;
constexpr double kClearly = 0.9;  // more channels must move this much less to count
constexpr double kAsGood = 1.2;   // a narrower reading this close to the best is the one
constexpr std::array kEncodings = {
    Encoding{SampleKind::Unsigned, 1, false}, Encoding{SampleKind::Int, 1, false},
    Encoding{SampleKind::Int, 2, false},      Encoding{SampleKind::Int, 2, true},
    Encoding{SampleKind::Int, 3, false},      Encoding{SampleKind::Int, 3, true},
    Encoding{SampleKind::Int, 4, false},      Encoding{SampleKind::Int, 4, true},
    Encoding{SampleKind::Float, 4, false},    Encoding{SampleKind::Float, 4, true},
    Encoding{SampleKind::Float, 8, false},    Encoding{SampleKind::Float, 8, true},
    Encoding{SampleKind::Ulaw, 1, false},     Encoding{SampleKind::Alaw, 1, false},
};

// G.711 mu-law and A-law, as 16-bit linear values.
double FromUlaw(unsigned char byte) {
  const unsigned u = ~byte & 0xFFU;
  const int magnitude =
      static_cast<int>((((u & 0x0FU) << 3U) + 0x84U) << ((u & 0x70U) >> 4U)) - 0x84;
  return (u & 0x80U) != 0 ? -magnitude : magnitude;
}

double FromAlaw(unsigned char byte) {
  const unsigned a = byte ^ 0x55U;
  const unsigned segment = (a & 0x70U) >> 4U;
  int magnitude = static_cast<int>((a & 0x0FU) << 4U) + 8;
  if (segment != 0) {
    magnitude = (magnitude + 0x100) << (segment - 1);
  }
  return (a & 0x80U) != 0 ? magnitude : -magnitude;
}

double Magnitude(double x) { return x < 0 ? -x : x; }

// The sample at `at`, as `encoding` reads it; nothing for a float no audio
// holds.
std::optional<double> SampleAt(std::span<const unsigned char> bytes, std::size_t at,
                               const Encoding& encoding) {
  std::uint64_t bits = 0;
  for (unsigned i = 0; i < encoding.bytes; ++i) {
    bits = bits << 8U | bytes[at + (encoding.big ? i : encoding.bytes - 1 - i)];
  }
  switch (encoding.kind) {
    case SampleKind::Unsigned:
      return static_cast<double>(bits) - 128.0;
    case SampleKind::Ulaw:
      return FromUlaw(bytes[at]);
    case SampleKind::Alaw:
      return FromAlaw(bytes[at]);
    case SampleKind::Float: {
      const double value =
          encoding.bytes == 4
              ? static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(bits)))
              : std::bit_cast<double>(bits);
      if (!(Magnitude(value) <= kLoudest) || (value != 0 && Magnitude(value) < kQuietest)) {
        return std::nullopt;  // NaN fails the first
      }
      return value;
    }
    case SampleKind::Int:
      break;
  }
  const unsigned width = 8 * encoding.bytes;
  const std::uint64_t sign = std::uint64_t{1} << (width - 1);
  return static_cast<double>(static_cast<std::int64_t>((bits ^ sign) - sign));
}

// The largest magnitude a sample of the encoding holds.
double FullScale(const Encoding& encoding) {
  switch (encoding.kind) {
    case SampleKind::Float:
      return 1.0;
    case SampleKind::Ulaw:
    case SampleKind::Alaw:
      return 32768.0;
    default:
      return static_cast<double>(std::uint64_t{1} << (8 * encoding.bytes - 1));
  }
}

}  // namespace

std::span<const Encoding> Encodings() { return kEncodings; }

std::optional<Score> ScoreOf(std::span<const unsigned char> bytes, const Encoding& encoding,
                             unsigned phase) {
  std::vector<double> samples;
  samples.reserve(bytes.size() / encoding.bytes);
  std::size_t strange = 0;  // floats no audio holds, read as silence
  for (std::size_t at = phase; at + encoding.bytes <= bytes.size(); at += encoding.bytes) {
    const std::optional<double> sample = SampleAt(bytes, at, encoding);
    strange += sample ? 0 : 1;
    samples.push_back(sample.value_or(0.0));
  }
  if (strange * kStrangest > samples.size() || samples.size() <= kMostChannels) {
    return std::nullopt;
  }
  double mean = 0;
  for (const double x : samples) {
    mean += x;
  }
  mean /= static_cast<double>(samples.size());
  double spread = 0;
  for (const double x : samples) {
    spread += Magnitude(x - mean);
  }
  if (spread == 0) {
    return std::nullopt;  // silence: any reading fits it
  }
  const auto n = static_cast<double>(samples.size());
  std::optional<Score> best;
  for (const unsigned channels : {1U, 2U, 4U, 6U, 8U}) {
    double jumps = 0;
    for (std::size_t i = channels; i < samples.size(); ++i) {
      jumps += Magnitude(samples[i] - samples[i - channels]);
    }
    const double jump = jumps / (n - channels);
    // More channels count only where they read clearly better.
    if (!best || jump / FullScale(encoding) < best->jump * kClearly) {
      best = Score{jump / FullScale(encoding), jump / (spread / n), channels};
    }
  }
  return best;
}

namespace {

void Rank(std::vector<Reading>& readings) {
  std::ranges::stable_sort(readings, {}, [](const Reading& r) { return r.score.jump; });
  // Samples of one width read as one of twice the width (16-bit stereo as
  // 32-bit mono) move as little: where a narrower reading is as good, it is
  // the one.
  for (auto r = readings.begin(); r != readings.end(); ++r) {
    if (r->encoding.bytes < readings.front().encoding.bytes &&
        r->score.jump <= readings.front().score.jump * kAsGood) {
      std::rotate(readings.begin(), r, r + 1);
    }
  }
}

}  // namespace

std::vector<Reading> Readings(std::span<const unsigned char> bytes) {
  std::vector<Reading> readings;
  for (const Encoding& encoding : kEncodings) {
    for (unsigned phase = 0; phase < encoding.bytes; ++phase) {
      if (const std::optional<Score> score = ScoreOf(bytes, encoding, phase)) {
        readings.push_back({encoding, phase, *score});
      }
    }
  }
  Rank(readings);
  return readings;
}

std::vector<Reading> Weigh(FileBytes& file) {
  const std::uint64_t n = file.Length();
  std::vector<std::uint64_t> places{0};
  if (n > 2 * kPlace) {
    places = {n / 3 / kPhases * kPhases, 2 * n / 3 / kPhases * kPhases};
  }
  std::vector<Reading> readings;
  std::vector<unsigned char> bytes;
  bool first = true;
  for (const std::uint64_t at : places) {
    bytes.resize(static_cast<std::size_t>(std::min(kPlace, n - at)));
    if (!file.Read(at, bytes)) {
      return {};
    }
    const std::vector<Reading> here = Readings(bytes);
    if (here.empty()) {
      continue;  // silence
    }
    if (first) {
      readings = here;
      first = false;
    }
    std::erase_if(readings, [&](Reading& r) {
      const auto same = std::ranges::find_if(
          here, [&](const Reading& h) { return h.encoding == r.encoding && h.phase == r.phase; });
      if (same != here.end() && same->score.jump > r.score.jump) {
        r.score = same->score;
      }
      return same == here.end();
    });
    Rank(readings);
  }
  return readings;
}

}  // namespace zavevuv
