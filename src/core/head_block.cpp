// SPDX-License-Identifier: MIT
#include "head_block.h"

#include <algorithm>
#include <span>

#include "codec.h"
#include "format.h"

namespace zavevuv {
namespace {

constexpr std::uint64_t kJunkAfterDs64 = 48;  // the head block's JUNK chunk, after ds64

}  // namespace

std::vector<unsigned char> HeadBlock(const Upgrade& upgrade, std::uint64_t b) {
  std::vector<unsigned char> block(static_cast<std::size_t>(b), 0);
  const auto put = [&](std::uint64_t at, std::span<const unsigned char> bytes) {
    std::ranges::copy(bytes, block.begin() + static_cast<std::ptrdiff_t>(at));
  };
  put(kFormId, kRf64);
  put(kRiffSize, Decon4(kMax32));
  put(kWaveId, kWave);
  put(kFirstChunk, kDs64);
  put(kFirstChunk + 4, Decon4(kDs64Body));
  put(kDs64RiffSize, Decon8(upgrade.formEnd + b - 8));
  put(kDs64DataSize, Decon8(upgrade.data));
  put(kDs64Samples, Decon8(upgrade.frames));
  put(kDs64Table, Decon4(std::uint64_t{0}));
  // JUNK from 48 to b + 12: its body holds the rest of this block and the
  // old "RIFF", size, "WAVE" at b.
  put(kJunkAfterDs64, kJunk);
  put(kJunkAfterDs64 + 4, Decon4(b + kFirstChunk - kJunkAfterDs64 - kChunkHeader));
  return block;
}

}  // namespace zavevuv
