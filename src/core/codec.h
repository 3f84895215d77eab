// SPDX-License-Identifier: MIT
// The one family of byte conversions: a RIFF or Wave64 field holds an
// unsigned count, least significant byte first, an AIFF field most
// significant byte first, whatever the processor's byte order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zavevuv {

// A 32-bit size field: Assem4 reads it as a count from 0 to 4,294,967,295;
// Decon4 stores a count, keeping its low 32 bits.
std::int64_t Assem4(std::span<const unsigned char, 4> fourbytes);
void Decon4(std::int64_t value, std::span<unsigned char, 4> fourbytes);

// The 64-bit fields of an RF64 or BW64 file's ds64 chunk.
std::uint64_t Assem8(std::span<const unsigned char, 8> eightbytes);
void Decon8(std::uint64_t value, std::span<unsigned char, 8> eightbytes);

// The 16-bit fields of a fmt chunk.
std::uint64_t Assem2(std::span<const unsigned char, 2> twobytes);

// The bytes Decon4 and Decon8 store, as values to write.
std::array<unsigned char, 4> Decon4(std::uint64_t value);
std::array<unsigned char, 8> Decon8(std::uint64_t value);

// A field of 1 to 8 bytes in either byte order (`big`: most significant
// first); and `value` stored so in the first `width` of 8 bytes.
std::uint64_t AssemN(std::span<const unsigned char> bytes, bool big);
std::array<unsigned char, 8> DeconN(std::uint64_t value, std::size_t width, bool big);

}  // namespace zavevuv
