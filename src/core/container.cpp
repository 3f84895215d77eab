// SPDX-License-Identifier: MIT
#include "container.h"

#include <algorithm>
#include <bit>
#include <vector>

#include "codec.h"

namespace zavevuv {
namespace {

using Guid = std::array<unsigned char, 16>;

// Most Wave64 GUIDs are a name and one of two tails.
constexpr Guid Named(std::string_view name, bool riffTail) {
  constexpr std::array<unsigned char, 12> kRiffTail = {0x2E, 0x91, 0xCF, 0x11, 0xA5, 0xD6,
                                                       0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
  constexpr std::array<unsigned char, 12> kWaveTail = {0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1,
                                                       0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
  Guid guid{};
  const Id id = MakeId(name);
  std::ranges::copy(id, guid.begin());
  std::ranges::copy(riffTail ? kRiffTail : kWaveTail, guid.begin() + 4);
  return guid;
}

constexpr Guid ListGuid() {
  Guid guid = Named("list", true);
  guid[4] = 0x2F;
  return guid;
}

struct NamedGuid {
  Id name;
  Guid guid;
};

constexpr std::array kW64Guids = {
    NamedGuid{MakeId("fmt "), Named("fmt ", false)},
    NamedGuid{MakeId("data"), Named("data", false)},
    NamedGuid{MakeId("fact"), Named("fact", false)},
    NamedGuid{MakeId("levl"), Named("levl", false)},
    NamedGuid{MakeId("junk"), Named("junk", false)},
    NamedGuid{MakeId("bext"), Named("bext", false)},
    NamedGuid{MakeId("list"), ListGuid()},
    NamedGuid{MakeId("mark"),
              {0x56, 0x62, 0xF7, 0xAB, 0x2D, 0x39, 0xD2, 0x11, 0x86, 0xC7, 0x00, 0xC0, 0x4F, 0x8E,
               0xDB, 0x8A}},
    NamedGuid{MakeId("summ"),
              {0xBC, 0x94, 0x5F, 0x92, 0x5A, 0x52, 0xD2, 0x11, 0x86, 0xDC, 0x00, 0xC0, 0x4F, 0x8E,
               0xDB, 0x8A}},
};

constexpr Id kOther = MakeId("????");

std::span<const Id> AfterAudioIds(const Container& chunks) {
  switch (chunks.box) {
    case Box::Aiff:
      return kAiffAfterAudioIds;
    case Box::W64:
      return kW64AfterAudioIds;
    case Box::Riff:
      break;
  }
  return kAfterAudioIds;
}

// Wave64 starts its chunks at multiples of 8: the known GUIDs there.
std::vector<std::uint64_t> W64IdsIn(std::span<const unsigned char> bytes, std::uint64_t at) {
  std::vector<std::uint64_t> found;
  const std::uint64_t header = kW64Chunks.Header();
  for (std::uint64_t i = (8 - at % 8) % 8; i + header <= bytes.size(); i += 8) {
    const auto id = IdOf(kW64Chunks, bytes.subspan(static_cast<std::size_t>(i)));
    if (id != kOther && KnownAfterAudio(kW64Chunks, id)) {
      found.push_back(i);
    }
  }
  return found;
}

}  // namespace

Id IdOf(const Container& chunks, std::span<const unsigned char> bytes) {
  if (chunks.box != Box::W64) {
    return {bytes[0], bytes[1], bytes[2], bytes[3]};
  }
  for (const auto& [name, guid] : kW64Guids) {
    if (std::ranges::equal(bytes.first(guid.size()), guid)) {
      return name;
    }
  }
  return kOther;
}

std::array<unsigned char, 16> IdBytes(const Container& chunks, const Id& name) {
  std::array<unsigned char, 16> bytes{};
  std::ranges::copy(name, bytes.begin());
  if (chunks.box == Box::W64) {
    const auto* known = std::ranges::find(kW64Guids, name, &NamedGuid::name);
    if (known != kW64Guids.end()) {
      bytes = known->guid;
    }
  }
  return bytes;
}

std::optional<std::uint64_t> BodyOf(const Container& chunks,
                                    std::span<const unsigned char> header) {
  const std::uint64_t size = Field(chunks, header.subspan(chunks.idBytes, chunks.sizeBytes));
  if (chunks.box == Box::W64) {
    return size >= chunks.Header() ? std::optional(size - chunks.Header()) : std::nullopt;
  }
  return Printable(header) ? std::optional(size) : std::nullopt;
}

bool KnownAfterAudio(const Container& chunks, const Id& id) {
  if (chunks.box == Box::Riff) {
    return KnownAfterRiffAudio(id);
  }
  return std::ranges::find(AfterAudioIds(chunks), id) != AfterAudioIds(chunks).end();
}

std::vector<std::uint64_t> AfterAudioIdsIn(const Container& chunks,
                                           std::span<const unsigned char> bytes, std::uint64_t at) {
  if (chunks.box == Box::W64) {
    return W64IdsIn(bytes, at);
  }
  return chunks.box == Box::Riff ? AfterRiffAudioIdsIn(bytes) : AfterAiffAudioIdsIn(bytes);
}

bool StartsKnownAfterAudio(const Container& chunks, std::span<const unsigned char> bytes) {
  if (bytes.empty() || bytes.size() >= chunks.idBytes) {
    return false;
  }
  if (chunks.box == Box::W64) {
    return std::ranges::any_of(kW64Guids, [&](const NamedGuid& known) {
      return KnownAfterAudio(chunks, known.name) &&
             std::ranges::equal(bytes, std::span(known.guid).first(bytes.size()));
    });
  }
  return std::ranges::any_of(AfterAudioIds(chunks), [&](const Id& known) {
    return std::ranges::equal(bytes, std::span(known).first(bytes.size()));
  });
}

}  // namespace zavevuv
