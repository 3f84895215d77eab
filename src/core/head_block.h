// SPDX-License-Identifier: MIT
// A RIFF file that no 32-bit field can describe, and whose writer reserved no
// room for ds64, becomes RF64 by a block of B bytes inserted at its start:
// the head block, the old file following unchanged from B on.
#pragma once

#include <cstdint>
#include <vector>

namespace zavevuv {

// B: a multiple of the file system's block, 4 KiB at least and 64 KiB at most
// (ext4 with bigalloc inserts only whole clusters of up to 64 KiB).
inline constexpr std::uint64_t kMinBlock = 0x1000;
inline constexpr std::uint64_t kMaxBlock = 0x10000;

// The sizes the RF64 file states.
struct Upgrade {
  std::uint64_t formEnd = 0;  // where the form ends, before the insert
  std::uint64_t data = 0;     // the audio's bytes
  std::uint64_t frames = 0;   // the sample count; 0 where the format does not tell
};

// The first `b` bytes of an upgraded file: "RF64", ds64 with the sizes, and a
// JUNK chunk reaching to b + 12, so that the old "RIFF ... WAVE" lies inside
// its body and the old file's first chunk follows it.
std::vector<unsigned char> HeadBlock(const Upgrade& upgrade, std::uint64_t b);

}  // namespace zavevuv
