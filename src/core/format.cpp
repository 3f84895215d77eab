// SPDX-License-Identifier: MIT
#include "format.h"

#include <algorithm>

namespace zavevuv {
namespace {

// Chunks that writers put after the audio.
constexpr std::array kAfterAudioIds = {
    MakeId("LIST"), MakeId("id3 "), MakeId("ID3 "), MakeId("cue "), MakeId("smpl"), MakeId("inst"),
    MakeId("acid"), MakeId("bext"), MakeId("iXML"), MakeId("axml"), MakeId("cart"), MakeId("umid"),
    MakeId("_PMX"), MakeId("DISP"), MakeId("PEAK"), MakeId("fact"), MakeId("plst"), MakeId("labl"),
    MakeId("note"), MakeId("ltxt"), MakeId("JUNK"), MakeId("junk"), MakeId("PAD "), MakeId("levl"),
    MakeId("chna"), MakeId("dbmd"), MakeId("bxml"), MakeId("sxml"), MakeId("FLLR"), MakeId("Fake"),
    MakeId("ResU"), MakeId("minf"), MakeId("elm1"), MakeId("regn"), MakeId("SyLp"), MakeId("r64m")};

}  // namespace

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
    return Form::Wide;
  }
  return Between(id, kRiff, kRf64) ? Form::Torn : Form::None;
}

bool IsWaveHeader(std::span<const unsigned char> bytes) { return FormOf(bytes) != Form::None; }

}  // namespace zavevuv
