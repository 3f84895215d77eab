// SPDX-License-Identifier: MIT
// The decision, on files held in memory: which fields a plan writes, and that
// every state a write cut off part-way can leave is finished by the next run.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "memfile.h"
#include "torn.h"
#include "wavgen.h"
#include "writes.h"

using wavgen::Build;
using wavgen::Chunk;
using wavgen::Le16;
using wavgen::Le32;
using wavgen::Le64;
using wavgen::Tone;
using zavevuv::Outcome;

namespace {

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

struct Row {
  const char* name;
  std::string in;
  Outcome outcome;
  std::vector<std::pair<std::uint64_t, std::string>> changes{};  // offset, new bytes
  std::uint64_t length = 0;  // when larger than `in`: zeros follow (sparse)
  std::map<std::uint64_t, std::string> far{};
  std::uint64_t failFrom = ~0ULL;  // reads past the head from here on fail
  std::uint64_t upgrade = 0;       // the audio an insert would make RF64 of
};

// A failing row is named by its shape alone.
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

// The shapes writers leave, with the fields a repair rewrites.
std::vector<Row> Rows() {
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
  const std::string broken = "\x01\x02\x03\x04";
  const std::string list = Chunk("LIST", "INFOINAM" + Le32(6) + "Tagged");
  std::string empties;
  for (int i = 0; i < 2000; ++i) {
    empties += Chunk("JUNK", "");
  }
  // IMA ADPCM, 4 blocks of 505 samples, with this fact count.
  const auto ima = [](const std::string& count) {
    return Build({.format = 0x11,
                  .bits = 4,
                  .block = 256,
                  .extra = Le16(2) + Le16(505),
                  .before = Chunk("fact", count),
                  .samples = Tone(1024)});
  };
  const std::string toEnd = Build({.riff = 0xFFFFFFFF, .samples = "", .stored = 0xFFFFFFFF});
  // Markers as recorders keep them after the audio: cue points, then their
  // labels in a LIST whose sub-chunks are after-audio ids too.
  const std::string cue =
      Chunk("cue ", Le32(1) + Le32(1) + Le32(200) + "data" + Le32(0) + Le32(0) + Le32(200));
  const std::string adtl = "adtl" + Chunk("labl", Le32(1) + "Start") + Chunk("note", Le32(1) + "x");
  const std::string markers = cue + Chunk("LIST", adtl);
  // A LIST a writer was killed appending: its header and part of its body.
  const std::string cutInfo = "LIST" + Le32(40) + "INFOIART" + Le32(10) + "Some";
  // ffmpeg -rf64 always -write_peak on: ds64's data size counts the levl after the audio.
  const std::string levl = Chunk("levl", std::string(40, 'p'));
  const auto rf64 = [&](std::uint64_t samples, const std::string& tagged = "") {
    return Build({.form = "RF64",
                  .riff = 0xFFFFFFFF,
                  .first = wavgen::Ds64(920 + tagged.size(), 848, samples),
                  .stored = 0xFFFFFFFF,
                  .after = levl + tagged});
  };
  // The fields an upgrade of a sparse 5 GiB 16-bit mono recording writes.
  const std::vector<std::pair<std::uint64_t, std::string>> upgraded = {{0, "RF64"},
                                                                       {4, kFF},
                                                                       {12, "ds64"},
                                                                       {20, Le64(k5G - 8)},
                                                                       {28, Le64(k5G - 80)},
                                                                       {36, Le64(k5G / 2 - 40)},
                                                                       {76, kFF}};
  // clang-format off
  return {
      // Crashed and streamed writers, chunks before the audio.
      {.name = "libsndfile", .in = Build({.riff = 8, .stored = 0}), .outcome = Fixed,
       .changes = {{4, Le32(836)}, {40, Le32(800)}}},
      {.name = "RIFF size only", .in = Build({.riff = 36}), .outcome = Fixed,
       .changes = {{4, Le32(836)}}},
      {.name = "ffmpeg, data in LIST", .in = Build({.riff = 0, .before = info,
       .stored = 0xFFFFFFFF}), .outcome = Fixed,
       .changes = {{4, Le32(h + 800)}, {h + 4, Le32(800)}}},
      {.name = "valid, data in LIST", .in = Build({.before = info}), .outcome = Correct},
      {.name = "LIST cut before the audio", .in = Build({.before = info}).substr(0, 70),
       .outcome = NoDataChunk},
      {.name = "bad chunk: probe", .in = Build({.before = broken, .stored = 0}), .outcome = Fixed,
       .changes = {{4, Le32(840)}, {44, Le32(800)}}},
      {.name = "data at 131072", .in = Build({.before = broken + std::string(131032, 0),
       .stored = 0}), .outcome = Fixed, .changes = {{4, Le32(131872)}, {131076, Le32(800)}}},
      {.name = "probe past the window", .in = Build({.before = broken + std::string(131034, 0)}),
       .outcome = NoDataChunk},
      {.name = "data at an odd offset",
       .in = "RIFF" + Le32(0) + "WAVEx" + "data" + Le32(0) + "abcd", .outcome = NoDataChunk},
      {.name = "data at 150 kB, walked", .in = Build({.riff = 0xFFFFFFFF, .before = comment,
       .stored = 0xFFFFFFFF}), .outcome = Fixed,
       .changes = {{4, Le32(150856)}, {150060, Le32(800)}}},
      {.name = "not a WAVE file", .in = "My notes: the data for the session is in the drive.",
       .outcome = NoDataChunk},
      {.name = "sox 24-bit stereo", .in = Build({.riff = 0x7FFFF044, .format = 0xFFFE,
       .channels = 2, .bits = 24, .extra = wavgen::kExtensiblePcm, .before = fact0,
       .samples = Tone(600), .stored = 0x7FFFF000}), .outcome = Fixed,
       .changes = {{4, Le32(672)}, {68, Le32(100)}, {76, Le32(600)}}},
      // The fact count: the frames the audio holds, where the format tells.
      {.name = "fact, float", .in = Build({.format = 3, .bits = 32, .before = fact0}),
       .outcome = Fixed, .changes = {{44, Le32(200)}}},
      {.name = "fact, IMA ADPCM", .in = Build({.riff = 0, .format = 0x11, .bits = 4, .block = 256,
       .extra = Le16(2) + Le16(505), .before = factBig, .stored = 0}), .outcome = Fixed,
       .changes = {{4, Le32(820)}, {48, Le32(1515)}, {56, Le32(768)}}},  // whole blocks
      {.name = "fact, MS ADPCM", .in = Build({.format = 2, .bits = 4, .block = 256,
       .extra = Le16(32) + Le16(500) + std::string(30, '\0'), .before = factBig}), .outcome = Fixed,
       .changes = {{78, Le32(1500)}}},
      {.name = "fact, GSM", .in = Build({.format = 0x31, .bits = 0, .block = 65,
       .extra = Le16(2) + Le16(320), .before = factBig, .samples = Tone(650)}), .outcome = Fixed,
       .changes = {{48, Le32(3200)}}},
      {.name = "fact, unknown format", .in = Build({.format = 0x55, .before = factBig,
       .stored = 0}), .outcome = Fixed, .changes = {{52, Le32(800)}}},
      // After the audio: chunks as writers append them are left alone.
      {.name = "LIST after, RIFF 0", .in = Build({.riff = 0, .after = Chunk("LIST", "INFOISFTab")}),
       .outcome = Fixed, .changes = {{4, Le32(854)}}},
      {.name = "pad, id3", .in = Build({.samples = Tone(801),
       .after = pad + "id3 " + Le32(3) + "abc"}), .outcome = Correct},
      {.name = "no pad before LIST", .in = Build({.samples = Tone(7),
       .after = Chunk("LIST", "INFOISFTab")}), .outcome = Correct},
      {.name = "70 labels after", .in = Build({.after = labels}), .outcome = Correct},
      {.name = "cut in LIST, RIFF 8", .in = Build({.riff = 8,
       .after = "LIST" + Le32(100) + "INFOINAM"}), .outcome = Fixed, .changes = {{4, Le32(852)}}},
      {.name = "cut in levl", .in = Build({.after = "levl" + Le32(1000) + "peak"}),
       .outcome = Correct},
      {.name = "cut in unknown: whole frames", .in = Build({.after = "abcd" + Le32(100) + "x"}),
       .outcome = Fixed, .changes = {{4, Le32(844)}, {40, Le32(808)}}},
      // Tags appended after the form are not audio.
      {.name = "ID3v1, valid", .in = Build({.after = wavgen::kId3v1}), .outcome = Correct},
      {.name = "ID3v1, crashed", .in = Build({.riff = 8, .stored = 0, .after = wavgen::kId3v1}),
       .outcome = Fixed, .changes = {{4, Le32(836)}, {40, Le32(800)}}},
      {.name = "TAG+ and ID3v1, RIFF counts them", .in = Build({.riff = 1191,
       .after = wavgen::kEnhanced + wavgen::kId3v1}), .outcome = Correct},
      {.name = "TAG+ and ID3v1, crashed", .in = Build({.riff = 8, .stored = 0,
       .after = wavgen::kEnhanced + wavgen::kId3v1}), .outcome = Fixed,
       .changes = {{4, Le32(836)}, {40, Le32(800)}}},
      {.name = "APEv2 and ID3v1, after LIST",
       .in = Build({.after = Chunk("LIST", "INFO") + wavgen::Ape(true) + wavgen::kId3v1}),
       .outcome = Correct},
      {.name = "APEv2, crashed", .in = Build({.riff = 0, .stored = 0xFFFFFFFF,
       .after = wavgen::Ape(false)}), .outcome = Fixed,
       .changes = {{4, Le32(836)}, {40, Le32(800)}}},
      {.name = "ID3v2 footer, valid", .in = Build({.after = wavgen::kId3v2}), .outcome = Correct},
      {.name = "ID3v2 footer, odd audio", .in = Build({.riff = 8, .bits = 8, .samples = Tone(801),
       .stored = 0,
       .after = wavgen::kId3v2}), .outcome = Fixed, .changes = {{4, Le32(837)}, {40, Le32(801)}}},
      // What follows the audio, round two: cut tags and ids, chains found
      // from the end, a pad byte a placeholder size hid, long chains.
      {.name = "cut inside ID3v1 after levl",
       .in = Build({.after = Chunk("levl", "peak") + wavgen::kId3v1.substr(0, 60)}),
       .outcome = Correct},
      {.name = "cut inside APEv2 after id3", .in = Build({.riff = 0,
       .after = Chunk("id3 ", "abc") + wavgen::Ape(true).substr(0, 50)}), .outcome = Fixed,
       .changes = {{4, Le32(898)}}},
      {.name = "cut 2 bytes into LIST: the form ends before", .in = Build({.after = "LI"}),
       .outcome = Fixed, .changes = {{4, Le32(836)}}},
      {.name = "2 bytes, no known id", .in = Build({.after = "xy"}), .outcome = Fixed,
       .changes = {{40, Le32(802)}}},
      {.name = "GStreamer pipe: LIST found from the end", .in = Build({.riff = 0x7FFF0024,
       .stored = 0x7FFF0000, .after = list}), .outcome = Fixed,
       .changes = {{4, Le32(862)}, {40, Le32(800)}}},
      {.name = "LIST from the end, placeholder 0", .in = Build({.riff = 8, .stored = 0,
       .after = list + wavgen::kId3v1}), .outcome = Fixed,
       .changes = {{4, Le32(862)}, {40, Le32(800)}}},
      {.name = "two chains from the end: to the end",
       .in = Build({.samples = Tone(780) + "JUNK" + Le32(38) + Tone(12), .stored = 0,
       .after = list}), .outcome = Fixed, .changes = {{40, Le32(826)}}},
      // Round three: markers, whole frames, a chunk cut off as it was
      // appended, a writer's own ds64, a chunk header cut.
      {.name = "markers after, sizes 0", .in = Build({.riff = 0, .stored = 0, .after = markers}),
       .outcome = Fixed, .changes = {{4, Le32(916)}, {40, Le32(800)}}},
      {.name = "markers after, GStreamer placeholder", .in = Build({.riff = 0x7FFF0024,
       .stored = 0x7FFF0000, .after = markers}), .outcome = Fixed,
       .changes = {{4, Le32(916)}, {40, Le32(800)}}},
      {.name = "stereo cut 2 bytes into a frame", .in = Build({.channels = 2,
       .samples = Tone(802), .stored = 1600}), .outcome = Fixed,
       .changes = {{4, Le32(836)}, {40, Le32(800)}}},
      {.name = "24-bit stereo cut 5 bytes into a frame", .in = Build({.channels = 2, .bits = 24,
       .samples = Tone(605), .stored = 1200}), .outcome = Fixed,
       .changes = {{4, Le32(636)}, {40, Le32(600)}}},
      {.name = "a partial frame that reads as a cut chunk", .in = Build({.riff = 0,
       .channels = 4, .bits = 24, .samples = Tone(1200) + "LIST" + Le32(1000) + "ab",
       .stored = 0}), .outcome = Fixed, .changes = {{4, Le32(1246)}, {40, Le32(1200)}}},
      {.name = "24-bit mono cut 2 bytes in: one is the pad byte", .in = Build({.bits = 24,
       .samples = Tone(12005), .stored = 0}), .outcome = Fixed,
       .changes = {{4, Le32(12040)}, {40, Le32(12003)}}},
      {.name = "LIST INFO cut off as appended", .in = Build({.riff = 60, .stored = 8,
       .after = cutInfo}), .outcome = Fixed,
       .changes = {{4, Le32(860)}, {40, Le32(800)}}},
      {.name = "LIST adtl cut off inside a label", .in = Build({.riff = 8, .stored = 0,
       .after = "LIST" + Le32(100) + adtl + "labl" + Le32(20) + Le32(2) + "Se"}), .outcome = Fixed,
       .changes = {{4, Le32(894)}, {40, Le32(800)}}},
      {.name = "cut-off LIST within a frame: audio", .in = Build({.channels = 2,
       .samples = Tone(802), .stored = 0, .after = cutInfo}), .outcome = Fixed,
       .changes = {{4, Le32(860)}, {40, Le32(824)}}},
      {.name = "cut-off LIST of an unknown type: audio", .in = Build({.riff = 0, .stored = 0,
       .after = "LIST" + Le32(40) + "abcdIART" + Le32(10) + "Some"}), .outcome = Fixed,
       .changes = {{4, Le32(860)}, {40, Le32(824)}}},
      {.name = "two chunks cut off: audio", .in = Build({.riff = 0, .stored = 0,
       .after = "PEAK" + Le32(100) + "ab" + cutInfo}), .outcome = Fixed,
       .changes = {{4, Le32(870)}, {40, Le32(834)}}},
      {.name = "RF64, ds64 counts its levl", .in = rf64(400), .outcome = Fixed,
       .changes = {{28, Le64(800)}}},
      {.name = "RF64, count short of any chain", .in = rf64(390), .outcome = Fixed,
       .changes = {{36, Le64(424)}}},
      {.name = "RF64, ds64 covers levl, not a LIST after", .in = rf64(400, list), .outcome = Fixed,
       .changes = {{36, Le64(424)}}},
      {.name = "cut inside a chunk size after LIST", .in = Build({.after = Chunk("LIST",
       "INFOISFTab") + "id3 " + "\x10"}), .outcome = Fixed, .changes = {{4, Le32(854)}}},
      {.name = "24-bit mono, pad byte at the end", .in = Build({.bits = 24,
       .samples = Tone(12003) + pad, .stored = 0}), .outcome = Fixed,
       .changes = {{40, Le32(12003)}}},
      {.name = "2000 chunks after, RIFF 0", .in = Build({.riff = 0, .after = empties}),
       .outcome = Correct},
      // The fact count of block formats, as real writers leave it.
      {.name = "sox GSM: exact count, pad counted", .in = Build({.format = 0x31, .bits = 0,
       .block = 65, .extra = Le16(2) + Le16(320), .before = Chunk("fact", Le32(29600)),
       .samples = Tone(6046)}), .outcome = Correct},
      {.name = "IMA: exact count in the last block", .in = ima(Le32(2000)), .outcome = Correct},
      {.name = "IMA stereo half count", .in = ima(Le32(1010)), .outcome = Correct},
      {.name = "IMA: one past the blocks", .in = ima(Le32(2021)), .outcome = Fixed,
       .changes = {{48, Le32(2020)}}},
      {.name = "IMA: 0 with whole blocks", .in = ima(Le32(0)), .outcome = Fixed,
       .changes = {{48, Le32(2020)}}},
      {.name = "RF64 A-law: one count", .in = Build({.form = "RF64", .riff = 0xFFFFFFFF,
       .first = wavgen::Ds64(752, 668, 667), .format = 6, .bits = 8,
       .before = Chunk("fact", Le32(0)), .samples = Tone(667) + pad, .stored = 0xFFFFFFFF}),
       .outcome = Fixed, .changes = {{80, Le32(667)}}},
      {.name = "RF64 IMA cut in its first block: no whole block", .in = Build({.form = "RF64",
       .riff = 0xFFFFFFFF, .first = wavgen::Ds64(0, 0, 70000), .format = 0x11, .bits = 4,
       .block = 256, .extra = Le16(2) + Le16(505), .before = Chunk("fact", kFF),
       .samples = Tone(100), .stored = 0xFFFFFFFF}), .outcome = Fixed,
       .changes = {{20, Le64(88)}, {36, Le64(0)}, {84, Le32(0)}}},
      // 4 GiB and more.
      {.name = "RIFF, length only", .in = Build({.samples = "", .stored = 0}), .outcome = ToEnd,
       .changes = {{4, kFF}, {40, Le32(0xFFFFFFF0)}}, .length = 44 + 0xFFFFFFF0ULL,
       .upgrade = 0xFFFFFFF0},
      {.name = "libsndfile, 5 GiB", .in = Build({.riff = 8, .samples = "", .stored = 0}),
       .outcome = ToEnd, .changes = {{4, kFF}, {40, kFF}}, .length = k5G, .upgrade = k5G - 44},
      {.name = "wrapped, LIST after", .in = Build({.riff = 0x40000018, .samples = "",
       .stored = 0x40000000}), .outcome = ToEnd, .changes = {{4, kFF}, {40, kFF}},
       .length = k5G + 56, .far = {{k5G + 44, Chunk("LIST", "INFO")}}, .upgrade = k5G},
      {.name = "to the end already", .in = toEnd, .outcome = TooLarge, .length = k5G,
       .upgrade = k5G - 44},
      {.name = "insert, head block cut", .in = "RF64" + std::string(4092, 0) + toEnd,
       .outcome = Fixed,
       .changes = {{4, kFF + "WAVE" + wavgen::Ds64(k5G + 4088, k5G - 44, k5G / 2 - 22) + "JUNK" +
                       Le32(4052)}},
       .length = k5G + 4096},
      {.name = "RIFF, failed read", .in = Build({.samples = "", .stored = 0}),
       .outcome = ReadFailed, .length = 1 << 20, .failFrom = 0},
      {.name = "RF64 crashed", .in = Build({.form = "RF64", .riff = 0, .first = ds0, .samples = "",
       .stored = 0}), .outcome = Fixed,
       .changes = {{4, kFF}, {20, Le64(k5G - 8)}, {28, Le64(k5G - 80)}, {36, Le64(k5G / 2 - 40)},
                   {76, kFF}},
       .length = k5G},
      {.name = "RF64, LIST after", .in = Build({.form = "RF64", .riff = 0xFFFFFFFF,
       .first = wavgen::Ds64(884, 800, 400), .stored = 0xFFFFFFFF, .after = Chunk("LIST", "INFO")}),
       .outcome = Correct},
      {.name = "RF64 odd, pad counted", .in = Build({.form = "RF64", .riff = 0xFFFFFFFF,
       .first = wavgen::Ds64(1074, 1002, 1001), .bits = 8, .samples = Tone(1001) + pad,
       .stored = 0xFFFFFFFF}), .outcome = Correct},
      {.name = "RF64, table past ds64", .in = Build({.form = "RF64", .riff = 0xFFFFFFFF,
       .first = Chunk("ds64", Le64(872) + Le64(800) + Le64(400) + Le32(0xAAAAAAAA)),
       .stored = 0xFFFFFFFF}), .outcome = Fixed, .changes = {{44, Le32(0)}}},
      {.name = "RF64 without ds64", .in = Build({.form = "RF64", .riff = 7, .stored = 0}),
       .outcome = Fixed, .changes = {{40, Le32(800)}}},
      {.name = "JUNK, upgraded", .in = Build({.riff = 0, .first = junk, .samples = "",
       .stored = 0}), .outcome = Fixed, .changes = upgraded, .length = k5G},
      {.name = "torn ids: RFFF, dUNK", .in = "RFFF" + Build({.riff = 0,
       .first = "dUNK" + junk.substr(4), .samples = "", .stored = 0}) .substr(4), .outcome = Fixed,
       .changes = upgraded, .length = k5G},
      {.name = "JUNK, ADPCM", .in = "RIFF" + Le32(0) + "WAVE" + junk + adpcm + "data" + Le32(0),
       .outcome = Fixed,
       .changes = {{0, "RF64"}, {4, kFF}, {12, "ds64"}, {20, Le64(k5G - 8)}, {28, Le64(k5G - 80)},
                   {76, kFF}},
       .length = k5G},
      {.name = "JUNK, fits", .in = Build({.riff = 0, .first = junk, .stored = 0}), .outcome = Fixed,
       .changes = {{4, Le32(872)}, {76, Le32(800)}}},
      {.name = "JUNK, audio fits, file not", .in = Build({.riff = 0, .first = junk, .samples = "",
       .stored = 0xFFFF0000}), .outcome = Fixed,
       .changes = {{0, "RF64"}, {4, kFF}, {12, "ds64"}, {20, Le64(k5G - 8)}, {28, Le64(0xFFFF0000)},
                   {36, Le64(0x7FFF8000)}},
       .length = k5G, .far = {{80 + 0xFFFF0000ULL, "LIST" + Le32(0x4000FFA8) + "INFO"}}},
  };
  // clang-format on
}

class Plan : public testing::TestWithParam<Row> {};

TEST_P(Plan, RewritesExactlyTheWrongFieldsAndFinishesEveryTornWrite) {
  const Row& row = GetParam();
  const MemFile file{row.in, std::max<std::uint64_t>(row.length, row.in.size()), row.far,
                     row.failFrom};
  const zavevuv::Plan plan = file.Decide();
  EXPECT_EQ(plan.outcome, row.outcome);
  EXPECT_EQ(plan.insert == zavevuv::Insert::Make ? plan.upgrade.data : 0, row.upgrade);
  std::string expected = row.in;
  for (const auto& [at, bytes] : row.changes) {
    expected.replace(at, bytes.size(), bytes);
  }
  MemFile once = file;
  once.Apply(plan);
  EXPECT_EQ(Diff(row.in, once.bytes), Diff(row.in, expected));
  ASSERT_LE(plan.writes.size(), zavevuv::kMostWrites);
  const std::vector<MemFile> states = torn::Every(file, plan);
  const auto incomplete = std::ranges::count_if(
      states, [&](const MemFile& state) { return !torn::Completes(state, once.bytes); });
  EXPECT_EQ(incomplete, 0) << "torn states left incomplete, of " << states.size();
}

INSTANTIATE_TEST_SUITE_P(Shapes, Plan, testing::ValuesIn(Rows()), [](const auto& param) {
  std::string name = param.param.name;
  std::ranges::replace_if(
      name, [](char c) { return std::isalnum(c) == 0; }, '_');
  return name;
});

// A file's examination makes the same few reads whatever its length: no size
// is tried once per multiple of 2^32 that fits the file.
TEST(Cost, ReadsDoNotGrowWithTheLength) {
  const std::string head = Build({.riff = 8, .samples = "", .stored = 0x40000000});
  for (const int bits : {20, 36, 50, 62}) {
    const MemFile file{head, 1ULL << bits};
    EXPECT_EQ(file.Decide().outcome, bits > 32 ? Outcome::ToEnd : Outcome::Fixed) << bits;
    EXPECT_LE(file.reads, 3)
        << bits;  // the last 64 KiB, where the stated size ends, the last again
  }
}

// Fields far apart are written apart, so the bytes between them are never
// written; fields within 4 KiB of each other share one write.
TEST(Writes, JoinOnlyNearbyFields) {
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
