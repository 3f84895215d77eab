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
constexpr std::array<unsigned, 5> kChannels = {1, 2, 4, 6, 8};
constexpr double kClearly = 0.9;  // more channels must move this much less to count
// Low halves that move less than this many times as much as the whole
// samples do (against their spread) are samples of their own: the low half
// of one sample of real audio moves as noise does, many times more.
constexpr double kHalves = 3.0;
constexpr std::array kEncodings = {
    Encoding{SampleKind::Unsigned, 1, false}, Encoding{SampleKind::Int, 1, false},
    Encoding{SampleKind::Int, 2, false},      Encoding{SampleKind::Int, 2, true},
    Encoding{SampleKind::Int, 3, false},      Encoding{SampleKind::Int, 3, true},
    Encoding{SampleKind::Int, 4, false},      Encoding{SampleKind::Int, 4, true},
    Encoding{SampleKind::Float, 4, false},    Encoding{SampleKind::Float, 4, true},
    Encoding{SampleKind::Float, 8, false},    Encoding{SampleKind::Float, 8, true},
    Encoding{SampleKind::Ulaw, 1, false},     Encoding{SampleKind::Alaw, 1, false},
};

// |x|, without a branch the loops below would wait on: the sign bit cleared.
double Magnitude(double x) {
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(x) & ~(std::uint64_t{1} << 63U));
}

// The sum of f(i) for i from `from` to `to`, kept in four sums at once so
// that no addition waits for the one before.
template <typename F>
double Sum(std::size_t from, std::size_t to, F f) {
  std::array<double, 4> sums{};
  std::size_t i = from;
  for (; i + 4 <= to; i += 4) {
    for (std::size_t k = 0; k < 4; ++k) {
      sums[k] += f(i + k);
    }
  }
  for (; i < to; ++i) {
    sums[0] += f(i);
  }
  return sums[0] + sums[1] + sums[2] + sums[3];
}

// G.711 mu-law and A-law, as 16-bit linear values.
constexpr double FromUlaw(unsigned char byte) {
  const unsigned u = ~byte & 0xFFU;
  const int magnitude =
      static_cast<int>((((u & 0x0FU) << 3U) + 0x84U) << ((u & 0x70U) >> 4U)) - 0x84;
  return (u & 0x80U) != 0 ? -magnitude : magnitude;
}

constexpr double FromAlaw(unsigned char byte) {
  const unsigned a = byte ^ 0x55U;
  const unsigned segment = (a & 0x70U) >> 4U;
  int magnitude = static_cast<int>((a & 0x0FU) << 4U) + 8;
  if (segment != 0) {
    magnitude = (magnitude + 0x100) << (segment - 1);
  }
  return (a & 0x80U) != 0 ? magnitude : -magnitude;
}

// A one-byte encoding's value of each byte.
using Table = std::array<double, 256>;
constexpr Table TableOf(double (*decode)(unsigned char)) {
  Table table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    table[byte] = decode(static_cast<unsigned char>(byte));
  }
  return table;
}
constexpr Table kUlaw = TableOf(FromUlaw);
constexpr Table kAlaw = TableOf(FromAlaw);
constexpr Table kUnsigned = TableOf([](unsigned char b) { return b - 128.0; });
constexpr Table kSigned = TableOf([](unsigned char b) { return b < 128 ? b : b - 256.0; });

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

// A sample's bits, most significant first.
std::uint64_t BitsAt(const unsigned char* at, unsigned bytes, bool big) {
  std::uint64_t bits = 0;
  for (unsigned i = 0; i < bytes; ++i) {
    bits = bits << 8U | at[big ? i : bytes - 1 - i];
  }
  return bits;
}

// The samples `bytes` hold as `encoding` reads them from `phase` on, into
// `out`; false where more than 1 in 100 are floats no audio holds (those
// are read as silence).
bool Decode(std::span<const unsigned char> bytes, const Encoding& encoding, unsigned phase,
            std::vector<double>& out) {
  const unsigned width = encoding.bytes;
  out.resize(bytes.size() > phase ? (bytes.size() - phase) / width : 0);
  const unsigned char* at = bytes.data() + phase;
  if (width == 1) {
    const Table& table = encoding.kind == SampleKind::Ulaw       ? kUlaw
                         : encoding.kind == SampleKind::Alaw     ? kAlaw
                         : encoding.kind == SampleKind::Unsigned ? kUnsigned
                                                                 : kSigned;
    std::ranges::transform(std::span(at, out.size()), out.begin(),
                           [&](auto b) { return table[b]; });
    return true;
  }
  std::size_t strange = 0;
  const std::uint64_t sign = std::uint64_t{1} << (8 * width - 1);
  for (double& sample : out) {
    const std::uint64_t bits = BitsAt(at, width, encoding.big);
    at += width;
    if (encoding.kind == SampleKind::Int) {
      sample = static_cast<double>(static_cast<std::int64_t>((bits ^ sign) - sign));
      continue;
    }
    sample = width == 4 ? std::bit_cast<float>(static_cast<std::uint32_t>(bits))
                        : std::bit_cast<double>(bits);
    if (!(Magnitude(sample) <= kLoudest) || (sample != 0 && Magnitude(sample) < kQuietest)) {
      sample = 0;  // NaN fails the first
      ++strange;
    }
  }
  return strange * kStrangest <= out.size();
}

// The samples' mean distance from their mean.
double Spread(const std::vector<double>& samples) {
  const std::size_t n = samples.size();
  const double mean = Sum(0, n, [&](std::size_t i) { return samples[i]; }) / static_cast<double>(n);
  return Sum(0, n, [&](std::size_t i) { return Magnitude(samples[i] - mean); }) /
         static_cast<double>(n);
}

// The mean jump between samples `lag` apart, for each lag of kChannels.
std::array<double, kChannels.size()> Jumps(const std::vector<double>& samples) {
  std::array<double, kChannels.size()> jumps{};
  for (std::size_t k = 0; k < kChannels.size(); ++k) {
    const std::size_t lag = kChannels[k];
    jumps[k] = Sum(lag, samples.size(),
                   [&](std::size_t i) { return Magnitude(samples[i] - samples[i - lag]); }) /
               static_cast<double>(samples.size() - lag);
  }
  return jumps;
}

// How the samples move: at the fewest channels that do not move clearly
// more than more channels do. Nothing for silence, which fits any reading.
std::optional<Score> ScoreOf(const std::vector<double>& samples, const Encoding& encoding) {
  const double spread = samples.size() > kChannels.back() ? Spread(samples) : 0;
  if (spread == 0) {
    return std::nullopt;
  }
  const auto jumps = Jumps(samples);
  std::optional<Score> best;
  for (std::size_t k = 0; k < kChannels.size(); ++k) {
    const double jump = jumps[k] / FullScale(encoding);
    if (!best || jump < best->jump * kClearly) {
      best = Score{jump, jumps[k] / spread, kChannels[k]};
    }
  }
  return best;
}

// Whether the low halves of a 16 or 32-bit reading move about as little as
// its samples do: then each is two samples of half the width (16-bit stereo
// read as 32-bit mono), whose high halves alone move as little as audio
// does. The low half of one sample of real audio moves as noise does.
bool HalvesAreAudio(std::span<const unsigned char> bytes, const Reading& reading,
                    std::vector<double>& scratch) {
  const Encoding& whole = reading.encoding;
  if (whole.kind != SampleKind::Int || (whole.bytes != 2 && whole.bytes != 4)) {
    return false;
  }
  const Encoding half{SampleKind::Int, whole.bytes / 2, whole.big};
  std::vector<unsigned char> low;
  for (std::size_t at = reading.phase; at + whole.bytes <= bytes.size(); at += whole.bytes) {
    const auto from = bytes.subspan(at + (whole.big ? half.bytes : 0), half.bytes);
    low.insert(low.end(), from.begin(), from.end());
  }
  Decode(low, half, 0, scratch);
  const std::optional<Score> halves = ScoreOf(scratch, half);
  return halves && halves->noise < kHalves * reading.score.noise;
}

void Rank(std::vector<Reading>& readings) {
  std::ranges::stable_sort(readings, {}, [](const Reading& r) { return r.score.jump; });
}

}  // namespace

std::vector<Reading> Readings(std::span<const unsigned char> bytes) {
  std::vector<Reading> readings;
  std::vector<double> samples;
  for (const Encoding& encoding : kEncodings) {
    for (unsigned phase = 0; phase < encoding.bytes; ++phase) {
      if (!Decode(bytes, encoding, phase, samples)) {
        continue;
      }
      if (const std::optional<Score> score = ScoreOf(samples, encoding)) {
        readings.push_back({encoding, phase, *score});
      }
    }
  }
  Rank(readings);
  // Only the best need the second look.
  while (!readings.empty() && HalvesAreAudio(bytes, readings.front(), samples)) {
    readings.erase(readings.begin());
  }
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
