// SPDX-License-Identifier: MIT
// Both directions work byte by byte with arithmetic, so the result is the
// same on any processor.
#include "codec.h"

namespace zavevuv {

std::int64_t Assem4(std::span<const unsigned char, 4> fourbytes) {
  // Unsigned bytes widened to 64 bits before shifting: 0x80..0xFF count
  // 128..255 and the sum can neither overflow nor turn negative.
  const auto b1 = static_cast<std::uint64_t>(fourbytes[0]);
  const auto b2 = static_cast<std::uint64_t>(fourbytes[1]);
  const auto b3 = static_cast<std::uint64_t>(fourbytes[2]);
  const auto b4 = static_cast<std::uint64_t>(fourbytes[3]);
  return static_cast<std::int64_t>(b1 | (b2 << 8U) | (b3 << 16U) | (b4 << 24U));
}

void Decon4(std::int64_t value, std::span<unsigned char, 4> fourbytes) {
  // Conversion to unsigned is modulo 2^64, so only the low 32 bits survive.
  const auto v = static_cast<std::uint64_t>(value);
  fourbytes[0] = static_cast<unsigned char>(v & 0xFFU);
  fourbytes[1] = static_cast<unsigned char>((v >> 8U) & 0xFFU);
  fourbytes[2] = static_cast<unsigned char>((v >> 16U) & 0xFFU);
  fourbytes[3] = static_cast<unsigned char>((v >> 24U) & 0xFFU);
}

std::uint64_t Assem8(std::span<const unsigned char, 8> eightbytes) {
  const auto low = static_cast<std::uint64_t>(Assem4(eightbytes.first<4>()));
  const auto high = static_cast<std::uint64_t>(Assem4(eightbytes.last<4>()));
  return low | (high << 32U);
}

void Decon8(std::uint64_t value, std::span<unsigned char, 8> eightbytes) {
  Decon4(static_cast<std::int64_t>(value & 0xFFFFFFFFU), eightbytes.first<4>());
  Decon4(static_cast<std::int64_t>(value >> 32U), eightbytes.last<4>());
}

std::uint64_t Assem2(std::span<const unsigned char, 2> twobytes) {
  return twobytes[0] | static_cast<std::uint64_t>(twobytes[1]) << 8U;
}

std::array<unsigned char, 4> Decon4(std::uint64_t value) {
  std::array<unsigned char, 4> out{};
  Decon4(static_cast<std::int64_t>(value), out);
  return out;
}

std::array<unsigned char, 8> Decon8(std::uint64_t value) {
  std::array<unsigned char, 8> out{};
  Decon8(value, out);
  return out;
}

std::uint64_t AssemN(std::span<const unsigned char> bytes, bool big) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    value = value << 8U | bytes[big ? i : bytes.size() - 1 - i];
  }
  return value;
}

std::array<unsigned char, 8> DeconN(std::uint64_t value, std::size_t width, bool big) {
  std::array<unsigned char, 8> bytes{};
  for (std::size_t i = 0; i < width; ++i) {
    bytes[big ? width - 1 - i : i] = static_cast<unsigned char>(value >> (8 * i) & 0xFFU);
  }
  return bytes;
}

}  // namespace zavevuv
