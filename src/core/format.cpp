// SPDX-License-Identifier: MIT
#include "format.h"

#include <algorithm>

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

bool KnownAfterAudio(std::span<const unsigned char> id) {
  return std::ranges::any_of(kAfterAudioIds, [&](const Id& known) { return IsId(id, known); });
}

bool StartsKnownAfterAudio(std::span<const unsigned char> bytes) {
  return !bytes.empty() && bytes.size() < 4 &&
         std::ranges::any_of(kAfterAudioIds, [&](const Id& known) {
           return std::ranges::equal(bytes, std::span(known).first(bytes.size()));
         });
}

Form FormOf(std::span<const unsigned char> bytes) {
  if (bytes.size() < kFirstChunk || !IsId(bytes.subspan<kWaveId, 4>(), kWave)) {
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
