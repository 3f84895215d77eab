// SPDX-License-Identifier: MIT
// Builds WAV files byte by byte, for the sample the build makes, the tests
// and the fuzz corpus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wavgen {

inline std::string Le16(std::uint32_t v) {
  return {static_cast<char>(v & 0xFFU), static_cast<char>((v >> 8U) & 0xFFU)};
}

inline std::string Le32(std::uint32_t v) { return Le16(v & 0xFFFFU) + Le16(v >> 16U); }

inline std::string Le64(std::uint64_t v) {
  return Le32(static_cast<std::uint32_t>(v & 0xFFFFFFFFU)) +
         Le32(static_cast<std::uint32_t>(v >> 32U));
}

// A chunk: id, size, body and the pad byte an odd-sized body is followed by.
inline std::string Chunk(std::string_view id, std::string_view body) {
  std::string c(id);
  c += Le32(static_cast<std::uint32_t>(body.size()));
  c += body;
  if (body.size() % 2 != 0) {
    c += '\0';
  }
  return c;
}

// The ds64 chunk of an RF64 or BW64 file, with an empty table.
inline std::string Ds64(std::uint64_t riff, std::uint64_t data, std::uint64_t samples) {
  return Chunk("ds64", Le64(riff) + Le64(data) + Le64(samples) + Le32(0));
}

// The room a writer reserves for ds64, in case the file passes 4 GiB.
inline const std::string kJunk28 = Chunk("JUNK", std::string(28, '\0'));

// `bytes` of a 16-bit tone: the audio a recorder would have left behind.
inline std::string Tone(std::size_t bytes) {
  std::string s(bytes, '\0');
  for (std::size_t i = 0; i < bytes; ++i) {
    s[i] = static_cast<char>((i * 37U + (i >> 4U)) & 0xFFU);
  }
  return s;
}

// Tags as taggers append them to any file: ID3v1, an Enhanced TAG+ block,
// APEv2 (with or without its header) and ID3v2 with a footer.
inline const std::string kId3v1 = "TAG" + std::string("Big data song").append(125 - 13, '\0');
inline const std::string kEnhanced = "TAG+" + std::string(223, 'e');
inline std::string Ape(bool header) {
  const std::string items = Le32(13) + Le32(0) + std::string("Title", 6) + "Big data song";
  const auto part = [&](std::uint32_t flags) {
    return "APETAGEX" + Le32(2000) + Le32(static_cast<std::uint32_t>(items.size() + 32)) + Le32(1) +
           Le32(flags) + std::string(8, '\0');
  };
  return (header ? part(0xA0000000) : "") + items + part(header ? 0x80000000 : 0);
}
inline const std::string kId3v2 = std::string("ID3\x04\x00\x10\0\0\0\x18", 10) +
                                  std::string("TIT2\0\0\0\x0E\0\0\x03", 11) + "Big data song" +
                                  std::string("3DI\x04\x00\x10\0\0\0\x18", 10);

// The fmt extension of WAVE_FORMAT_EXTENSIBLE: 24 valid bits, two channels, PCM.
inline const std::string kExtensiblePcm =
    Le16(22) + Le16(24) + Le32(3) + Le16(1) +
    std::string("\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71", 14);

struct Wav {
  std::string form = "RIFF";            // or "RF64", "BW64"
  std::optional<std::uint32_t> riff{};  // the RIFF size; default: the real one
  std::string first{};                  // chunks before "fmt " (ds64, JUNK)
  std::uint16_t format = 1;             // PCM
  std::uint16_t channels = 1;
  std::uint32_t rate = 8000;
  std::uint16_t bits = 16;
  std::optional<std::uint16_t> block{};   // bytes per block; default: whole frames
  std::string extra{};                    // the fmt extension (cbSize and what follows)
  std::string before{};                   // chunks between "fmt " and "data"
  std::string samples = Tone(800);        // the sample bytes
  std::optional<std::uint32_t> stored{};  // the size field; default: the real size
  std::string after{};                    // bytes after the samples
};

// The whole file. With no `first` and `before`, the tag lies at 36 and the
// size field at 40.
inline std::string Build(const Wav& w) {
  const std::uint32_t block = w.block.value_or(w.channels * ((w.bits + 7U) / 8U));
  const std::string fmt = Le16(w.format) + Le16(w.channels) + Le32(w.rate) + Le32(w.rate * block) +
                          Le16(block) + Le16(w.bits) + w.extra;
  std::string body = "WAVE" + w.first + Chunk("fmt ", fmt) + w.before + "data";
  body += Le32(w.stored.value_or(static_cast<std::uint32_t>(w.samples.size())));
  body += w.samples + w.after;
  return w.form + Le32(w.riff.value_or(static_cast<std::uint32_t>(body.size()))) + body;
}

}  // namespace wavgen
