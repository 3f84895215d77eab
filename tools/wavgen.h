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

// `bytes` of a 16-bit tone: the audio a recorder would have left behind.
inline std::string Tone(std::size_t bytes) {
  std::string s(bytes, '\0');
  for (std::size_t i = 0; i < bytes; ++i) {
    s[i] = static_cast<char>((i * 37U + (i >> 4U)) & 0xFFU);
  }
  return s;
}

struct Wav {
  std::uint16_t channels = 1;
  std::uint32_t rate = 8000;
  std::uint16_t bits = 16;
  std::string before{};                   // chunks between "fmt " and "data"
  std::string samples = Tone(800);        // the sample bytes
  std::optional<std::uint32_t> stored{};  // the size field; default: the real size
  std::string after{};                    // bytes after the samples
};

// The whole file. With no `before`, the tag lies at 36 and the size field at 40.
inline std::string Build(const Wav& w) {
  const std::uint32_t block = w.channels * ((w.bits + 7U) / 8U);
  const std::string fmt =
      Le16(1) + Le16(w.channels) + Le32(w.rate) + Le32(w.rate * block) + Le16(block) + Le16(w.bits);
  std::string body = "WAVE" + Chunk("fmt ", fmt) + w.before + "data";
  body += Le32(w.stored.value_or(static_cast<std::uint32_t>(w.samples.size())));
  body += w.samples + w.after;
  return "RIFF" + Le32(static_cast<std::uint32_t>(body.size())) + body;
}

}  // namespace wavgen
