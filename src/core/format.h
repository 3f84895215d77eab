// SPDX-License-Identifier: MIT
// The facts of the WAVE format that the decision works with: chunk ids, the
// offsets of the header's fields, and the form a header has.
//
//   0       "RIFF", or "RF64" / "BW64" for files of 4 GiB and more
//   4       the RIFF size: where the form ends, less 8 (0xFFFFFFFF when unknown)
//   8       "WAVE"
//   12      the chunks, each a 4-byte id, a 32-bit size, the body and a pad
//           byte after an odd-sized body. In RF64 and BW64 the first is ds64,
//           holding the true sizes in 64 bits; writers that may pass 4 GiB
//           reserve room for it with a JUNK chunk of 28 bytes or more.
//   h       "data", h + 4 its 32-bit size, h + 8 the first sample byte
//           ... chunks a writer put after the audio (LIST, cue , ...)
//           ... the form's end; tags a tagger appended (ID3v1, APEv2, ID3v2)
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace zavevuv {

using Id = std::array<unsigned char, 4>;

constexpr Id MakeId(std::string_view text) {
  return {static_cast<unsigned char>(text[0]), static_cast<unsigned char>(text[1]),
          static_cast<unsigned char>(text[2]), static_cast<unsigned char>(text[3])};
}

inline constexpr Id kRiff = MakeId("RIFF");
inline constexpr Id kRf64 = MakeId("RF64");
inline constexpr Id kBw64 = MakeId("BW64");
inline constexpr Id kWave = MakeId("WAVE");
inline constexpr Id kData = MakeId("data");
inline constexpr Id kDs64 = MakeId("ds64");
inline constexpr Id kJunk = MakeId("JUNK");
inline constexpr Id kFmt = MakeId("fmt ");
inline constexpr Id kFact = MakeId("fact");

inline constexpr std::uint64_t kFormId = 0;          // "RIFF", "RF64" or "BW64"
inline constexpr std::uint64_t kRiffSize = 4;        // 32 bits: the form's end less 8
inline constexpr std::uint64_t kWaveId = 8;          // "WAVE"
inline constexpr std::uint64_t kFirstChunk = 12;     // ds64, or the JUNK that reserves its room
inline constexpr std::uint64_t kChunkHeader = 8;     // a chunk's id, then its 32-bit size
inline constexpr std::uint64_t kDs64RiffSize = 20;   // ds64 body + 0: the RIFF size, 64 bits
inline constexpr std::uint64_t kDs64DataSize = 28;   // ds64 body + 8: the data size, 64 bits
inline constexpr std::uint64_t kDs64Samples = 36;    // ds64 body + 16: the sample count, 64 bits
inline constexpr std::uint64_t kDs64Table = 44;      // ds64 body + 24: the table's length, 32 bits
inline constexpr std::uint64_t kDs64Body = 28;       // the four fields above
inline constexpr std::uint64_t kDs64Entry = 12;      // a table entry: an id and a 64-bit size
inline constexpr std::uint64_t kMax32 = 0xFFFFFFFF;  // the most a 32-bit field holds; "unknown"

// Whether the first four bytes are `id`.
bool IsId(std::span<const unsigned char> bytes, const Id& id);

// Whether each of the first four bytes is that of `a` or of `b`: an id that a
// write cut off part-way while turning one into the other.
bool Between(std::span<const unsigned char> bytes, const Id& a, const Id& b);

// Whether the first four bytes are printable ASCII, as every chunk id is.
bool Printable(std::span<const unsigned char> id);

// Chunks that writers put after the audio: metadata, cue points, loudness
// and peak data, padding. In RIFF:
inline constexpr std::array kAfterAudioIds = {
    MakeId("LIST"), MakeId("id3 "), MakeId("ID3 "), MakeId("cue "), MakeId("smpl"), MakeId("inst"),
    MakeId("acid"), MakeId("bext"), MakeId("iXML"), MakeId("axml"), MakeId("cart"), MakeId("umid"),
    MakeId("_PMX"), MakeId("DISP"), MakeId("PEAK"), MakeId("fact"), MakeId("plst"), MakeId("labl"),
    MakeId("note"), MakeId("ltxt"), MakeId("JUNK"), MakeId("junk"), MakeId("PAD "), MakeId("levl"),
    MakeId("chna"), MakeId("dbmd"), MakeId("bxml"), MakeId("sxml"), MakeId("FLLR"), MakeId("Fake"),
    MakeId("ResU"), MakeId("minf"), MakeId("elm1"), MakeId("regn"), MakeId("SyLp"), MakeId("r64m")};
// In AIFF and AIFF-C:
inline constexpr std::array kAiffAfterAudioIds = {
    MakeId("ID3 "), MakeId("MARK"), MakeId("INST"), MakeId("COMT"), MakeId("APPL"),
    MakeId("NAME"), MakeId("AUTH"), MakeId("(c) "), MakeId("ANNO"), MakeId("CHAN")};
// In Wave64, by the names of their GUIDs (marker and summarylist as "mark"
// and "summ"):
inline constexpr std::array kW64AfterAudioIds = {MakeId("list"), MakeId("junk"), MakeId("levl"),
                                                 MakeId("bext"), MakeId("mark"), MakeId("summ"),
                                                 MakeId("fact")};

// Whether the first four bytes are the id of a chunk that writers put after
// the audio of a RIFF file, or of an AIFF file; and the offsets in `bytes` at
// which one starts with a whole chunk header after it, ascending.
bool KnownAfterRiffAudio(std::span<const unsigned char> id);
std::vector<std::uint64_t> AfterRiffAudioIdsIn(std::span<const unsigned char> bytes);
std::vector<std::uint64_t> AfterAiffAudioIdsIn(std::span<const unsigned char> bytes);

// The start of a Wave64 file: the riff GUID, the form's size, the wave GUID.
inline constexpr std::array<unsigned char, 16> kW64Form = {
    'r', 'i', 'f', 'f', 0x2E, 0x91, 0xCF, 0x11, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
inline constexpr std::array<unsigned char, 16> kW64WaveGuid = {
    'w', 'a', 'v', 'e', 0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
inline constexpr std::uint64_t kW64Wave = 24;   // the wave GUID
inline constexpr std::uint64_t kW64First = 40;  // the first chunk

// Whether `bytes` of audio in blocks of `align` bytes (more than one) end in
// the pad byte after odd-sized audio: an even count that is one more than
// whole blocks. A block of one byte cannot tell a pad byte from audio.
constexpr bool CountsPadByte(std::uint64_t bytes, std::uint64_t align) {
  return bytes % 2 == 0 && align > 1 && bytes % align == 1;
}

// The form of a header: RIFF, RF64 (or BW64), an id written part-way from
// RIFF to RF64 (an upgrade cut off), AIFF, AIFF-C, Wave64, or none of them.
enum class Form { Riff, Rf64, UpgradeCut, Aiff, Aifc, W64, None };
Form FormOf(std::span<const unsigned char> bytes);

// Whether these bytes start like a file the decision knows: "RIFF", "RF64"
// or "BW64" (or an id cut off part-way from "RIFF" to "RF64"), four bytes,
// "WAVE"; "FORM", four bytes, "AIFF" or "AIFC"; Wave64's riff and wave GUIDs.
bool IsWaveHeader(std::span<const unsigned char> bytes);

}  // namespace zavevuv
