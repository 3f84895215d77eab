// SPDX-License-Identifier: MIT
#include "format.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace zavevuv {

bool IsId(std::span<const unsigned char> bytes, const Id& id) {
  return std::ranges::equal(bytes.first(4), id);
}

bool Between(std::span<const unsigned char> bytes, const Id& a, const Id& b) {
  for (std::size_t i = 0; i < 4; ++i) {
    if (bytes[i] != a[i] && bytes[i] != b[i]) {
      return false;
    }
  }
  return true;
}

bool Printable(std::span<const unsigned char> id) {
  return std::ranges::all_of(id.first(4), [](unsigned char c) { return c >= 0x20 && c <= 0x7E; });
}

namespace {

// The four bytes from `bytes` as one number, the first byte lowest.
constexpr std::uint32_t Word4(std::span<const unsigned char> bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8U |
         static_cast<std::uint32_t>(bytes[2]) << 16U | static_cast<std::uint32_t>(bytes[3]) << 24U;
}

// Whether `byte` lies from `lo` to `hi`, as 1 or 0: a form the compiler
// turns into vector instructions over a block.
constexpr unsigned char Within(unsigned char byte, unsigned char lo, unsigned char hi) {
  return static_cast<unsigned char>(static_cast<unsigned char>(byte - lo) <=
                                    static_cast<unsigned char>(hi - lo));
}

// The positions a block covers, and the bytes it looks at for them.
constexpr std::size_t kBlock = 64;
constexpr std::size_t kBlockSpan = kBlock + 3;

// A set of ids that writers put after the audio, made quick to find.
template <std::size_t N>
struct IdSet {
  std::array<std::uint32_t, N> words{};  // the ids as numbers, sorted: one lookup
  // One bit for each pair of first two bytes that such an id starts with: a
  // test that lets almost nothing else through to the lookup.
  std::array<std::uint64_t, 0x10000 / 64> pairs{};
  unsigned char lo = 0xFF, hi = 0;  // the range of their first bytes

  constexpr explicit IdSet(const std::array<Id, N>& ids) {
    std::ranges::transform(ids, words.begin(), [](const Id& id) { return Word4(id); });
    std::ranges::sort(words);
    for (const Id& id : ids) {
      const unsigned pair = id[0] | static_cast<unsigned>(id[1]) << 8U;
      pairs[pair / 64] |= std::uint64_t{1} << (pair % 64);
      lo = std::min(lo, id[0]);
      hi = std::max(hi, id[0]);
    }
  }

  [[nodiscard]] bool Has(std::span<const unsigned char> id) const {
    return std::ranges::binary_search(words, Word4(id));
  }
  [[nodiscard]] bool StartsPair(std::span<const unsigned char> bytes) const {
    const unsigned pair = bytes[0] | static_cast<unsigned>(bytes[1]) << 8U;
    return (pairs[pair / 64] >> (pair % 64) & 1U) != 0;
  }

  // For each of a block's positions, 1 where an id may start there: its
  // first byte in the range of theirs, its second a letter, digit or "(",
  // the next two printable (as every after-audio id is). Random audio lets
  // about one position in a hundred through.
  [[nodiscard]] constexpr std::array<unsigned char, kBlock> Candidates(
      std::span<const unsigned char, kBlockSpan> bytes) const {
    std::array<unsigned char, kBlock> may{};
    for (std::size_t i = 0; i < kBlock; ++i) {
      may[i] = Within(bytes[i], lo, hi) & Within(bytes[i + 1], '0', 'z') &
               Within(bytes[i + 2], ' ', '~') & Within(bytes[i + 3], ' ', '~');
    }
    return may;
  }
};

constexpr IdSet kRiffSet(kAfterAudioIds);
constexpr IdSet kAiffSet(kAiffAfterAudioIds);

template <std::size_t N>
constexpr bool AllPass(const IdSet<N>& set, const std::array<Id, N>& ids) {
  return std::ranges::all_of(ids, [&](const Id& id) {
    const std::array<unsigned char, kBlockSpan> bytes{id[0], id[1], id[2], id[3]};
    return set.Candidates(bytes)[0] == 1;
  });
}
static_assert(AllPass(kRiffSet, kAfterAudioIds) && AllPass(kAiffSet, kAiffAfterAudioIds),
              "every after-audio id passes the quick test");

// The offsets in `bytes` at which an id of `set` starts with a whole chunk
// header after it, ascending. One pass over the bytes 64 at a time: only
// where four printable bytes start are they looked up.
template <std::size_t N>
std::vector<std::uint64_t> IdsIn(const IdSet<N>& set, std::span<const unsigned char> bytes) {
  std::vector<std::uint64_t> found;
  if (bytes.size() < kChunkHeader) {
    return found;
  }
  const std::size_t last = bytes.size() - kChunkHeader;  // the last offset with a whole header
  std::array<unsigned char, kBlockSpan> tail{};          // the last block's bytes, then zeros
  for (std::size_t at = 0; at <= last; at += kBlock) {
    std::span<const unsigned char, kBlockSpan> block = tail;
    if (at + kBlockSpan <= bytes.size()) [[likely]] {
      block = bytes.subspan(at).first<kBlockSpan>();
    } else {
      std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end(), tail.begin());
    }
    const std::array<unsigned char, kBlock> may = set.Candidates(block);
    for (std::size_t word = 0; word < kBlock; word += 8) {
      std::array<unsigned char, 8> eight{};
      std::copy_n(may.begin() + static_cast<std::ptrdiff_t>(word), 8, eight.begin());
      auto marks = std::bit_cast<std::uint64_t>(eight);  // eight positions at once
      if constexpr (std::endian::native != std::endian::little) {
        marks = 0;  // the first position lowest, as above
        for (std::size_t j = 0; j < 8; ++j) {
          marks |= static_cast<std::uint64_t>(eight[j]) << (8 * j);
        }
      }
      for (; marks != 0; marks &= marks - 1) {
        const std::size_t i = word + static_cast<std::size_t>(std::countr_zero(marks)) / 8;
        if (at + i <= last && set.StartsPair(block.subspan(i)) && set.Has(block.subspan(i))) {
          found.push_back(at + i);
        }
      }
    }
  }
  return found;
}

}  // namespace

bool KnownAfterRiffAudio(std::span<const unsigned char> id) { return kRiffSet.Has(id); }

std::vector<std::uint64_t> AfterRiffAudioIdsIn(std::span<const unsigned char> bytes) {
  return IdsIn(kRiffSet, bytes);
}

std::vector<std::uint64_t> AfterAiffAudioIdsIn(std::span<const unsigned char> bytes) {
  return IdsIn(kAiffSet, bytes);
}

Form FormOf(std::span<const unsigned char> bytes) {
  if (bytes.size() >= kW64Form.size() &&
      std::ranges::equal(bytes.first(kW64Form.size()), kW64Form) && bytes.size() >= kW64First &&
      std::ranges::equal(bytes.subspan(kW64Wave, kW64WaveGuid.size()), kW64WaveGuid)) {
    return Form::W64;
  }
  if (bytes.size() < kFirstChunk) {
    return Form::None;
  }
  if (IsId(bytes, MakeId("FORM"))) {
    const auto type = bytes.subspan<kWaveId, 4>();
    return IsId(type, MakeId("AIFF"))   ? Form::Aiff
           : IsId(type, MakeId("AIFC")) ? Form::Aifc
                                        : Form::None;
  }
  if (!IsId(bytes.subspan<kWaveId, 4>(), kWave)) {
    return Form::None;
  }
  const auto id = bytes.first<4>();
  if (IsId(id, kRiff)) {
    return Form::Riff;
  }
  if (IsId(id, kRf64) || IsId(id, kBw64)) {
    return Form::Rf64;
  }
  return Between(id, kRiff, kRf64) ? Form::UpgradeCut : Form::None;
}

bool IsWaveHeader(std::span<const unsigned char> bytes) { return FormOf(bytes) != Form::None; }

}  // namespace zavevuv
