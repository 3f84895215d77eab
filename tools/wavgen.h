// SPDX-License-Identifier: MIT
// Builds WAV files byte by byte, for the sample the build makes, the tests
// and the fuzz corpus.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// How samples are stored: 'i' signed, 'u' unsigned (8-bit WAV), 'f' float,
// 'm' mu-law, 'a' A-law; their bytes and byte order.
struct Sampled {
  char kind = 'i';
  unsigned bytes = 2;
  bool big = false;
};

// G.711 of a 16-bit value, as the reference encoder makes it.
inline unsigned char Ulaw(int pcm) {
  const int sign = pcm < 0 ? 0x80 : 0;
  pcm = std::min(pcm < 0 ? -pcm : pcm, 32635) + 0x84;
  int exponent = 7;
  for (int mask = 0x4000; (pcm & mask) == 0 && exponent > 0; mask >>= 1) {
    --exponent;
  }
  return static_cast<unsigned char>(~(sign | exponent << 4 | ((pcm >> (exponent + 3)) & 0x0F)));
}
inline unsigned char Alaw(int pcm) {
  const int mask = pcm >= 0 ? 0xD5 : 0x55;
  pcm = pcm >= 0 ? pcm >> 3 : -(pcm >> 3) - 1;
  int segment = 0;
  while (segment < 8 && pcm > (0x1F << segment)) {
    ++segment;
  }
  if (segment == 8) {
    return static_cast<unsigned char>(0x7F ^ mask);
  }
  const int step = (pcm >> (segment < 2 ? 1 : segment)) & 0x0F;
  return static_cast<unsigned char>((segment << 4 | step) ^ mask);
}

// `frames` frames of plucked strings, a chord every quarter second, as a
// recorder takes them: the audio a test of widths and byte orders needs (a
// pure tone would hide a wrong width). The second channel lags the first.
inline std::string Plucked(std::size_t frames, unsigned channels, Sampled as = {},
                           unsigned seed = 1) {
  std::vector<double> x(frames + 64, 0.0);
  std::uint32_t noise = seed;
  const double notes[] = {110.0, 138.6, 164.8, 146.8, 185.0, 220.0, 98.0, 123.5};
  for (std::size_t at = 0, chord = 0; at < frames; at += 2000, ++chord) {
    for (std::size_t k = 0; k < 2; ++k) {
      std::vector<double> string(static_cast<std::size_t>(8000 / notes[(chord * 2 + k) % 8]));
      for (double& v : string) {
        noise = noise * 1664525U + 1013904223U;
        v = static_cast<double>(noise >> 8U) / 8388608.0 - 1.0;
      }
      for (int pass = 0; pass < 6; ++pass) {  // plucked with a finger: a soft start
        for (std::size_t i = 0; i < string.size(); ++i) {
          string[i] = 0.5 * (string[i] + string[(i + 1) % string.size()]);
        }
      }
      for (std::size_t i = 0; at + i < x.size() && i < 8000; ++i) {
        double& v = string[i % string.size()];
        x[at + i] += 0.15 * v;
        v = 0.996 * 0.5 * (v + string[(i + 1) % string.size()]);
      }
    }
  }
  std::string out;
  for (std::size_t i = 0; i < frames; ++i) {
    for (unsigned c = 0; c < channels; ++c) {
      const double v = x[i + 37 * c];
      std::uint64_t bits = 0;
      const double full = std::ldexp(1.0, static_cast<int>(8 * as.bytes - 1)) - 1;
      switch (as.kind) {
        case 'f':
          bits = as.bytes == 4 ? std::bit_cast<std::uint32_t>(static_cast<float>(v))
                               : std::bit_cast<std::uint64_t>(v);
          break;
        case 'm':
          bits = Ulaw(static_cast<int>(std::lround(v * 32767)));
          break;
        case 'a':
          bits = Alaw(static_cast<int>(std::lround(v * 32767)));
          break;
        default:
          bits = static_cast<std::uint64_t>(std::llround(v * full) + (as.kind == 'u' ? 128 : 0));
      }
      for (unsigned b = 0; b < as.bytes; ++b) {
        out += static_cast<char>(bits >> (8 * (as.big ? as.bytes - 1 - b : b)) & 0xFFU);
      }
    }
  }
  return out;
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

inline std::string Be16(std::uint32_t v) {
  return {static_cast<char>((v >> 8U) & 0xFFU), static_cast<char>(v & 0xFFU)};
}

inline std::string Be32(std::uint32_t v) { return Be16(v >> 16U) + Be16(v & 0xFFFFU); }

// An AIFF chunk: id, big-endian size, body, the pad byte after an odd body.
inline std::string BeChunk(std::string_view id, std::string_view body) {
  std::string c =
      std::string(id) + Be32(static_cast<std::uint32_t>(body.size())) + std::string(body);
  return body.size() % 2 != 0 ? c + '\0' : c;
}

struct Aiff {
  std::string form = "AIFF";            // or "AIFC"
  std::optional<std::uint32_t> size{};  // the FORM size; default: the real one
  std::string type = "NONE";            // AIFF-C: the compression type
  std::uint16_t channels = 1;
  std::uint16_t bits = 16;
  std::optional<std::uint32_t> frames{};  // COMM's count; default: the samples' whole frames
  std::string before{};                   // chunks between COMM and SSND
  std::string samples = Tone(800);
  std::optional<std::uint32_t> stored{};  // the SSND size; default: the real one (8 + samples)
  std::string after{};                    // bytes after the samples
};

// The whole file: COMM at 12 (AIFF-C: FVER first), its count at 22 (34), SSND
// after it, with no offset.
inline std::string BuildAiff(const Aiff& a) {
  const bool c = a.form == "AIFC";
  const std::uint32_t frame =
      a.type == "ima4" ? a.channels * 34U : a.channels * ((a.bits + 7U) / 8U);
  const auto frames = a.frames.value_or(static_cast<std::uint32_t>(a.samples.size() / frame));
  const std::string rate = std::string("\x40\x0B\xFA\0\0\0\0\0\0\0", 10);  // 8000
  std::string comm = Be16(a.channels) + Be32(frames) + Be16(a.bits) + rate;
  if (c) {
    comm += a.type + std::string(2, '\0');  // an empty name, padded
  }
  std::string body = a.form + (c ? BeChunk("FVER", Be32(0xA2805140)) : "") + BeChunk("COMM", comm) +
                     a.before + "SSND";
  body += Be32(a.stored.value_or(static_cast<std::uint32_t>(8 + a.samples.size())));
  body += Be32(0) + Be32(0) + a.samples + a.after;
  return "FORM" + Be32(a.size.value_or(static_cast<std::uint32_t>(body.size()))) + body;
}

// A Wave64 GUID: a name and the tail most of them share (list's is riff's,
// its fifth byte 0x2F).
inline std::string Guid(std::string_view name) {
  if (name == "list") {
    return std::string("list\x2F\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00", 16);
  }
  return std::string(name) + std::string("\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A", 12);
}

// A Wave64 chunk: GUID, a size that counts the 24-byte header, body, padding to 8.
inline std::string W64Chunk(std::string_view name, std::string_view body) {
  std::string c = Guid(name) + Le64(24 + body.size()) + std::string(body);
  return c + std::string((8 - c.size() % 8) % 8, '\0');
}

struct W64 {
  std::optional<std::uint64_t> size{};  // the riff size; default: the real one
  std::uint16_t format = 1;
  std::uint16_t channels = 1;
  std::uint16_t bits = 16;
  std::string before{};  // chunks between "fmt " and "data"
  std::string samples = Tone(800);
  std::optional<std::uint64_t> stored{};  // the data chunk's size; default: the real one
  std::string after{};                    // bytes after the samples
};

// The whole file: fmt at 40, data at 80 (with no `before`), its size at 96.
inline std::string BuildW64(const W64& w) {
  const std::uint32_t block = w.channels * ((w.bits + 7U) / 8U);
  const std::string fmt = Le16(w.format) + Le16(w.channels) + Le32(8000) + Le32(8000 * block) +
                          Le16(block) + Le16(w.bits);
  std::string body = Guid("wave") + W64Chunk("fmt ", fmt) + w.before + Guid("data") +
                     Le64(w.stored.value_or(24 + w.samples.size())) + w.samples + w.after;
  const std::string riff("riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00", 16);
  return riff + Le64(w.size.value_or(24 + body.size())) + body;
}

}  // namespace wavgen
