// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "memfile.h"
#include "writes.h"
#include "wavgen.h"
#include "zavevuv.h"

using wavgen::Build;
using wavgen::Chunk;
using wavgen::Le16;
using wavgen::Le32;
using wavgen::Le64;
using wavgen::Tone;
using zavevuv::Outcome;

namespace {

TEST(Codec, ConvertsBothWaysAndKeepsTheLow32Bits) {
  using Bytes = std::array<unsigned char, 4>;
  EXPECT_EQ(zavevuv::Assem4(Bytes{0x80, 0x81, 0x82, 0x83}), 2206368128);
  // Every byte position with many values; 4 GiB more stores the same bytes.
  for (std::int64_t v = 0; v <= 0xFFFFFFFF; v += 65521) {
    Bytes out{}, wrapped{};
    zavevuv::Decon4(v, out);
    zavevuv::Decon4(v + 0x100000000, wrapped);
    ASSERT_TRUE(zavevuv::Assem4(out) == v && wrapped == out) << v;
  }
}

constexpr std::uint64_t k5G = 5ULL << 30U;  // sparse: zeros after the header
const std::string kFF = Le32(0xFFFFFFFF);

// The runs of bytes in which `b` differs from `a`, as "@offset:hex" lines.
std::string Diff(const std::string& a, const std::string& b) {
  std::string out;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) {
      out += (out.empty() || out.back() == '\n' ? "@" + std::to_string(i) + ":" : "");
      std::array<char, 3> hex{};
      std::snprintf(hex.data(), hex.size(), "%02x", static_cast<unsigned char>(b[i]));
      out += hex.data();
      if (i + 1 == a.size() || a[i + 1] == b[i + 1]) {
        out += '\n';
      }
    }
  }
  return out;
}

TEST(Repair, RewritesExactlyTheSizeFieldsThatAreWrong) {
  using enum Outcome;
  const std::string pad(1, '\0');
  // ffmpeg's metadata before the audio: "data" at an even offset inside it.
  const std::string info =
      Chunk("LIST", "INFO" + Chunk("INAM", std::string("Big data", 9)) + Chunk("ISFT", "Lavf59"));
  const auto h = static_cast<std::uint32_t>(36 + info.size());
  // IMA ADPCM without the fmt extension: no samples per block, no frame count.
  const std::string adpcm =
      Chunk("fmt ", Le16(0x11) + Le16(1) + Le32(8000) + Le32(4055) + Le16(256) + Le16(4));
  const std::string ds0 = wavgen::Ds64(0, 0, 0), junk = wavgen::kJunk28;
  const std::string fact0 = Chunk("fact", Le32(0)), factBig = Chunk("fact", Le32(2118119480));
  std::string labels;
  for (std::uint32_t i = 0; i < 70; ++i) {
    labels += Chunk("labl", Le32(i) + "x");
  }
  const std::string comment = Chunk("LIST", "INFO" + Chunk("ICMT", std::string(150000, 'c')));
  const std::string rf64odd = Build({.form = "RF64",
                                     .riff = 0xFFFFFFFF,
                                     .first = wavgen::Ds64(1074, 1002, 1001),
                                     .bits = 8,
                                     .samples = Tone(1001) + pad,
                                     .stored = 0xFFFFFFFF});
  const struct {
    const char* name;
    std::string in;
    Outcome outcome;
    std::vector<std::pair<std::uint64_t, std::string>> changes{};  // offset, new bytes
    std::uint64_t length = 0;  // when larger than `in`: zeros follow (sparse)
    std::map<std::uint64_t, std::string> far{};
    std::uint64_t failFrom = ~0ULL;
    std::uint64_t upgrade = 0;  // the audio an insert would make RF64 of
  } cases[] = {
      // clang-format off
      {"libsndfile", Build({.riff = 8, .stored = 0}), Fixed, {{4, Le32(836)}, {40, Le32(800)}}},
      {"RIFF size only", Build({.riff = 36}), Fixed, {{4, Le32(836)}}},
      {"ffmpeg, data in LIST", Build({.riff = 0, .before = info, .stored = 0xFFFFFFFF}), Fixed,
       {{4, Le32(h + 800)}, {h + 4, Le32(800)}}},
      {"valid, data in LIST", Build({.before = info}), Correct},
      {"LIST cut before the audio", Build({.before = info}).substr(0, 70), NoDataChunk},
      {"bad chunk: probe", Build({.before = "\x01\x02\x03\x04", .stored = 0}), Fixed,
       {{4, Le32(840)}, {44, Le32(800)}}},
      {"tag at 131072", Build({.before = "\x01\x02\x03\x04" + std::string(131032, 0), .stored = 0}),
       Fixed, {{4, Le32(131872)}, {131076, Le32(800)}}},
      {"probe past the window", Build({.before = "\x01\x02\x03\x04" + std::string(131034, 0)}), NoDataChunk},
      {"tag at an odd offset", "RIFF" + Le32(0) + "WAVEx" + "data" + Le32(0) + "abcd", NoDataChunk},
      {"data at 150 kB, walked", Build({.riff = 0xFFFFFFFF, .before = comment, .stored = 0xFFFFFFFF}),
       Fixed, {{4, Le32(150856)}, {150060, Le32(800)}}},
      {"not a WAVE file", "My notes: the data for the session is in the drive.", NoDataChunk},
      {"sox 24-bit stereo", Build({.riff = 0x7FFFF044, .format = 0xFFFE, .channels = 2, .bits = 24,
                                   .extra = wavgen::kExtensiblePcm, .before = fact0, .samples = Tone(600),
                                   .stored = 0x7FFFF000}), Fixed,
       {{4, Le32(672)}, {68, Le32(100)}, {76, Le32(600)}}},
      // The fact count: the frames the audio holds, where the format tells.
      {"fact, float", Build({.format = 3, .bits = 32, .before = fact0}), Fixed, {{44, Le32(200)}}},
      {"fact, IMA ADPCM", Build({.riff = 0, .format = 0x11, .bits = 4, .block = 256,
                                 .extra = Le16(2) + Le16(505), .before = factBig, .stored = 0}), Fixed,
       {{4, Le32(852)}, {48, Le32(1515)}, {56, Le32(800)}}},
      {"fact, MS ADPCM", Build({.format = 2, .bits = 4, .block = 256,
                                .extra = Le16(32) + Le16(500) + std::string(30, '\0'),
                                .before = factBig}), Fixed, {{78, Le32(1500)}}},
      {"fact, GSM", Build({.format = 0x31, .bits = 0, .block = 65, .extra = Le16(2) + Le16(320),
                           .before = factBig, .samples = Tone(650)}), Fixed, {{48, Le32(3200)}}},
      {"fact, unknown format", Build({.format = 0x55, .before = factBig, .stored = 0}), Fixed,
       {{52, Le32(800)}}},
      // After the audio: chunks as writers append them are left alone.
      {"LIST after, RIFF 0", Build({.riff = 0, .after = Chunk("LIST", "INFOISFTab")}), Fixed,
       {{4, Le32(854)}}},
      {"pad, id3", Build({.samples = Tone(801), .after = pad + "id3 " + Le32(3) + "abc"}), Correct},
      {"no pad before LIST", Build({.samples = Tone(7), .after = Chunk("LIST", "INFOISFTab")}), Correct},
      {"70 labels after", Build({.after = labels}), Correct},
      {"cut in LIST, RIFF 8", Build({.riff = 8, .after = "LIST" + Le32(100) + "INFOINAM"}), Fixed,
       {{4, Le32(852)}}},
      {"cut in levl", Build({.after = "levl" + Le32(1000) + "peak"}), Correct},
      {"cut in unknown", Build({.after = "abcd" + Le32(100) + "x"}), Fixed, {{40, Le32(809)}}},
      // Tags appended after the form are not audio.
      {"ID3v1, valid", Build({.after = wavgen::kId3v1}), Correct},
      {"ID3v1, crashed", Build({.riff = 8, .stored = 0, .after = wavgen::kId3v1}), Fixed,
       {{4, Le32(836)}, {40, Le32(800)}}},
      {"TAG+ and ID3v1, RIFF counts them", Build({.riff = 1191, .after = wavgen::kEnhanced + wavgen::kId3v1}), Correct},
      {"TAG+ and ID3v1, crashed", Build({.riff = 8, .stored = 0, .after = wavgen::kEnhanced + wavgen::kId3v1}), Fixed,
       {{4, Le32(836)}, {40, Le32(800)}}},
      {"APEv2 and ID3v1, after LIST", Build({.after = Chunk("LIST", "INFO") + wavgen::Ape(true) + wavgen::kId3v1}), Correct},
      {"APEv2, crashed", Build({.riff = 0, .stored = 0xFFFFFFFF, .after = wavgen::Ape(false)}), Fixed,
       {{4, Le32(836)}, {40, Le32(800)}}},
      {"ID3v2 footer, valid", Build({.after = wavgen::kId3v2}), Correct},
      {"ID3v2 footer, odd audio", Build({.riff = 8, .samples = Tone(801), .stored = 0, .after = wavgen::kId3v2}),
       Fixed, {{4, Le32(837)}, {40, Le32(801)}}},
      // 4 GiB and more.
      {"RIFF, length only", Build({.samples = "", .stored = 0}), ToEnd,
       {{4, kFF}, {40, Le32(0xFFFFFFF0)}}, 44 + 0xFFFFFFF0ULL, {}, ~0ULL, 0xFFFFFFF0},
      {"libsndfile, 5 GiB", Build({.riff = 8, .samples = "", .stored = 0}), ToEnd, {{4, kFF}, {40, kFF}},
       k5G, {}, ~0ULL, k5G - 44},
      {"wrapped, LIST after", Build({.riff = 0x40000018, .samples = "", .stored = 0x40000000}), ToEnd,
       {{4, kFF}, {40, kFF}}, k5G + 56, {{k5G + 44, Chunk("LIST", "INFO")}}, ~0ULL, k5G},
      {"to the end already", Build({.riff = 0xFFFFFFFF, .samples = "", .stored = 0xFFFFFFFF}), TooLarge,
       {}, k5G, {}, ~0ULL, k5G - 44},
      {"insert, head block cut", "RF64" + std::string(4092, 0) +
                                 Build({.riff = 0xFFFFFFFF, .samples = "", .stored = 0xFFFFFFFF}), Fixed,
       {{4, kFF + "WAVE" + wavgen::Ds64(k5G + 4088, k5G - 44, k5G / 2 - 22) + "JUNK" + Le32(4052)}},
       k5G + 4096},
      {"RIFF, failed read", Build({.samples = "", .stored = 0}), ReadFailed, {}, 1 << 20, {}, 0},
      {"RF64 crashed", Build({.form = "RF64", .riff = 0, .first = ds0, .samples = "", .stored = 0}), Fixed,
       {{4, kFF}, {20, Le64(k5G - 8)}, {28, Le64(k5G - 80)}, {36, Le64(k5G / 2 - 40)}, {76, kFF}}, k5G},
      {"RF64, LIST after", Build({.form = "RF64", .riff = 0xFFFFFFFF, .first = wavgen::Ds64(884, 800, 400),
                                  .stored = 0xFFFFFFFF, .after = Chunk("LIST", "INFO")}), Correct},
      {"RF64 odd, pad counted", rf64odd, Correct},
      {"RF64, table past ds64", Build({.form = "RF64", .riff = 0xFFFFFFFF,
                                       .first = Chunk("ds64", Le64(872) + Le64(800) + Le64(400) + Le32(0xAAAAAAAA)),
                                       .stored = 0xFFFFFFFF}), Fixed, {{44, Le32(0)}}},
      {"RF64 without ds64", Build({.form = "RF64", .riff = 7, .stored = 0}), Fixed, {{40, Le32(800)}}},
      {"JUNK, upgraded", Build({.riff = 0, .first = junk, .samples = "", .stored = 0}), Fixed,
       {{0, "RF64"}, {4, kFF}, {12, "ds64"}, {20, Le64(k5G - 8)}, {28, Le64(k5G - 80)},
        {36, Le64(k5G / 2 - 40)}, {76, kFF}}, k5G},
      {"torn ids: RFFF, dUNK", "RFFF" + Build({.riff = 0, .first = "dUNK" + junk.substr(4), .samples = "",
                                               .stored = 0}).substr(4), Fixed,
       {{0, "RF64"}, {4, kFF}, {12, "ds64"}, {20, Le64(k5G - 8)}, {28, Le64(k5G - 80)},
        {36, Le64(k5G / 2 - 40)}, {76, kFF}}, k5G},
      {"JUNK, ADPCM", "RIFF" + Le32(0) + "WAVE" + junk + adpcm + "data" + Le32(0), Fixed,
       {{0, "RF64"}, {4, kFF}, {12, "ds64"}, {20, Le64(k5G - 8)}, {28, Le64(k5G - 80)}, {76, kFF}}, k5G},
      {"JUNK, fits", Build({.riff = 0, .first = junk, .stored = 0}), Fixed, {{4, Le32(872)}, {76, Le32(800)}}},
      {"JUNK, audio fits, file not", Build({.riff = 0, .first = junk, .samples = "", .stored = 0xFFFF0000}),
       Fixed, {{0, "RF64"}, {4, kFF}, {12, "ds64"}, {20, Le64(k5G - 8)}, {28, Le64(0xFFFF0000)},
               {36, Le64(0x7FFF8000)}}, k5G, {{80 + 0xFFFF0000ULL, "LIST" + Le32(0x4000FFA8) + "INFO"}}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const MemFile file{c.in, std::max<std::uint64_t>(c.length, c.in.size()), c.far, c.failFrom};
    const zavevuv::Plan plan = file.Decide();
    EXPECT_EQ(plan.outcome, c.outcome);
    EXPECT_EQ(plan.insert == zavevuv::Insert::Make ? plan.upgrade.data : 0, c.upgrade);
    std::string expected = c.in;
    for (const auto& [at, bytes] : c.changes) {
      expected.replace(at, bytes.size(), bytes);
    }
    MemFile once = file;
    once.Apply(plan);
    EXPECT_EQ(Diff(c.in, once.bytes), Diff(c.in, expected));
    // Torn writes: any subset of the fields in place, or the writes cut off
    // after any byte. The next run makes the same file, and a run after that
    // writes nothing.
    ASSERT_LE(plan.writes.size(), 10U);
    std::vector<MemFile> torn;
    for (unsigned mask = 0; mask < 1U << plan.writes.size(); ++mask) {
      torn.push_back(file);
      for (std::size_t i = 0; i < plan.writes.size(); ++i) {
        if ((mask >> i & 1U) != 0) {
          torn.back().Apply({plan.writes[i]});
        }
      }
    }
    std::size_t bytes = 0;
    for (const auto& patch : zavevuv::Writes(file.Bytes(), plan)) {
      bytes += patch.bytes.size();
    }
    for (std::size_t cut = 1; cut < bytes; cut += cut < 128 ? 1 : 61) {
      torn.push_back(file);
      torn.back().Apply(plan, cut);
    }
    int incomplete = 0;
    for (MemFile& t : torn) {
      t.Apply(t.Decide());
      const zavevuv::Plan after = t.Decide();
      incomplete += static_cast<int>(t.bytes != once.bytes || !after.writes.empty() || after.insert == zavevuv::Insert::Finish);
    }
    EXPECT_EQ(incomplete, 0) << "torn states left incomplete, of " << torn.size();
  }
}

// Fields far apart are written apart, so the bytes between them are never
// written; fields within 4 KiB of each other share one write.
TEST(Repair, WritesOnlyNearbyFieldsTogether) {
  const std::vector<unsigned char> head(8192, 0);
  const auto at = [](std::uint64_t offset) { return zavevuv::FieldWrite{offset, {}, 4}; };
  const std::vector writes = {at(4), at(40), at(4096), at(6000)};
  const auto patches = zavevuv::Coalesce(head, writes);
  ASSERT_EQ(patches.size(), 2U);
  EXPECT_EQ(patches[0].at, 4U);
  EXPECT_EQ(patches[0].bytes.size(), 4096U);
  EXPECT_EQ(patches[1].at, 6000U);
}

}  // namespace
