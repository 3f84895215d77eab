// SPDX-License-Identifier: MIT
// The decision, on files held in memory: which fields a plan writes, and that
// every state a write cut off part-way can leave is finished by the next run.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <map>
#include <optional>
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

using Changes = std::vector<std::pair<std::uint64_t, std::string>>;  // offset, new bytes

// What the RIFF size of a plain header counts besides the audio: "WAVE", the
// fmt chunk (8 + 16) and the data chunk's header.
constexpr std::uint32_t kHead = 36;

// The RIFF size of a plain header over `audio` bytes, with `other` bytes of
// chunks around the audio within the form.
constexpr std::uint32_t RiffOf(std::uint64_t audio, std::uint64_t other = 0) {
  return static_cast<std::uint32_t>(kHead + audio + other);
}

// The RIFF size, and the data size of a 44-byte header.
Changes Riff(std::uint32_t riff) { return {{4, Le32(riff)}}; }
Changes Data(std::uint64_t data) { return {{40, Le32(static_cast<std::uint32_t>(data))}}; }
Changes Sizes(std::uint32_t riff, std::uint64_t data) { return {Riff(riff)[0], Data(data)[0]}; }

struct Row {
  const char* name;
  std::string in;
  Outcome outcome;
  Changes changes{};
  std::uint64_t length = 0;  // when larger than `in`: zeros follow (sparse)
  std::map<std::uint64_t, std::string> far{};
  std::uint64_t failFrom = ~0ULL;         // reads past the head from here on fail
  std::uint64_t upgrade = 0;              // the audio an insert would make RF64 of
  std::optional<std::uint64_t> frames{};  // where set: the frames the report says
};

// A failing row is named by its shape alone.
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

using enum Outcome;
const std::string kPad(1, '\0');

// What comes before the audio, as crashed and streamed writers leave it, and
// the fact count.
// IMA ADPCM, 4 blocks of 505 samples, with this fact count.
std::string Ima(const std::string& count) {
  return Build({.format = 0x11,
                .bits = 4,
                .block = 256,
                .extra = Le16(2) + Le16(505),
                .before = Chunk("fact", count),
                .samples = Tone(1024)});
}

std::vector<Row> Heads() {
  // ffmpeg's metadata before the audio: "data" at an even offset inside it.
  const std::string info =
      Chunk("LIST", "INFO" + Chunk("INAM", std::string("Big data", 9)) + Chunk("ISFT", "Lavf59"));
  const auto h = static_cast<std::uint32_t>(36 + info.size());
  const std::string fact0 = Chunk("fact", Le32(0)), factBig = Chunk("fact", Le32(2118119480));
  const std::string comment = Chunk("LIST", "INFO" + Chunk("ICMT", std::string(150000, 'c')));
  const std::string broken = "\x01\x02\x03\x04";
  const std::string far = broken + std::string(131032, 0);  // data at 131,072
  // clang-format off
  return {
      // Crashed and streamed writers, chunks before the audio.
      {"libsndfile", Build({.riff = 8, .stored = 0}), Fixed, Sizes(RiffOf(800), 800)},
      {"RIFF size only", Build({.riff = 36}), Fixed, Riff(RiffOf(800))},
      {"ffmpeg, data in LIST", Build({.riff = 0, .before = info, .stored = 0xFFFFFFFF}), Fixed,
       {{4, Le32(h + 800)}, {h + 4, Le32(800)}}},
      {"valid, data in LIST", Build({.before = info}), Correct},
      {"LIST cut before the audio", Build({.before = info}).substr(0, 70), NoDataChunk},
      {"bad chunk: probe", Build({.before = broken, .stored = 0}), Fixed,
       {{4, Le32(RiffOf(800, broken.size()))}, {40 + broken.size(), Le32(800)}}},
      {"data at 131072", Build({.before = far, .stored = 0}), Fixed,
       {{4, Le32(RiffOf(800, far.size()))}, {40 + far.size(), Le32(800)}}},
      {"probe past the window", Build({.before = broken + std::string(131034, 0)}), NoDataChunk},
      {"data at an odd offset", "RIFF" + Le32(0) + "WAVEx" + "data" + Le32(0) + "abcd",
       NoDataChunk},
      {"data at 150 kB, walked", Build({.riff = 0xFFFFFFFF, .before = comment,
       .stored = 0xFFFFFFFF}), Fixed,
       {{4, Le32(RiffOf(800, comment.size()))}, {40 + comment.size(), Le32(800)}}},
      {"not a WAVE file", "My notes: the data for the session is in the drive.", NoDataChunk},
      {"sox 24-bit stereo", Build({.riff = 0x7FFFF044, .format = 0xFFFE, .channels = 2, .bits = 24,
       .extra = wavgen::kExtensiblePcm, .before = fact0, .samples = Tone(600),
       .stored = 0x7FFFF000}), Fixed, {{4, Le32(672)}, {68, Le32(100)}, {76, Le32(600)}}},
      // The fact count: the frames the audio holds, where the format tells.
      {"fact, float", Build({.format = 3, .bits = 32, .before = fact0}), Fixed, {{44, Le32(200)}}},
      {"fact, IMA ADPCM", Build({.riff = 0, .format = 0x11, .bits = 4, .block = 256,
       .extra = Le16(2) + Le16(505), .before = factBig, .stored = 0}), Fixed,
       {{4, Le32(820)}, {48, Le32(1515)}, {56, Le32(768)}}},  // whole blocks
      {"fact, MS ADPCM", Build({.format = 2, .bits = 4, .block = 256,
       .extra = Le16(32) + Le16(500) + std::string(30, '\0'), .before = factBig}), Fixed,
       {{78, Le32(1500)}}},
      {"fact, GSM", Build({.format = 0x31, .bits = 0, .block = 65, .extra = Le16(2) + Le16(320),
       .before = factBig, .samples = Tone(650)}), Fixed, {{48, Le32(3200)}}},
      {"fact, unknown format", Build({.format = 0x55, .before = factBig, .stored = 0}), Fixed,
       {{52, Le32(800)}}},
      // The fact count of block formats, as real writers leave it.
      {"sox GSM: exact count, pad counted", Build({.format = 0x31, .bits = 0, .block = 65,
       .extra = Le16(2) + Le16(320), .before = Chunk("fact", Le32(29600)), .samples = Tone(6046)}),
       Correct},
      {"IMA: exact count in the last block", Ima(Le32(2000)), Correct},
      {"IMA stereo half count", Ima(Le32(1010)), Correct},
      {"IMA: one past the blocks", Ima(Le32(2021)), Fixed, {{48, Le32(2020)}}},
      {"IMA: 0 with whole blocks", Ima(Le32(0)), Fixed, {{48, Le32(2020)}}},
      {"IMA: a count before its last blocks", Ima(Le32(505)), Fixed, {{48, Le32(2020)}}},
      {"RF64 A-law: one count", Build({.form = "RF64", .riff = 0xFFFFFFFF,
       .first = wavgen::Ds64(752, 668, 667), .format = 6, .bits = 8,
       .before = Chunk("fact", Le32(0)), .samples = Tone(667) + kPad, .stored = 0xFFFFFFFF}), Fixed,
       {{80, Le32(667)}}},
      {"RF64 IMA cut in its first block: no whole block", Build({.form = "RF64", .riff = 0xFFFFFFFF,
       .first = wavgen::Ds64(0, 0, 70000), .format = 0x11, .bits = 4, .block = 256,
       .extra = Le16(2) + Le16(505), .before = Chunk("fact", kFF), .samples = Tone(100),
       .stored = 0xFFFFFFFF}), Fixed, {{20, Le64(88)}, {36, Le64(0)}, {84, Le32(0)}}},
  };
  // clang-format on
}

// What follows the audio: chunks, tags, markers, and what a cut leaves of them.
std::vector<Row> Tails() {
  std::string labels;
  for (std::uint32_t i = 0; i < 70; ++i) {
    labels += Chunk("labl", Le32(i) + "x");
  }
  const std::string list = Chunk("LIST", "INFOINAM" + Le32(6) + "Tagged");
  const std::string isft = Chunk("LIST", "INFOISFTab");
  std::string empties;
  for (int i = 0; i < 2000; ++i) {
    empties += Chunk("JUNK", "");
  }
  // Markers as recorders keep them after the audio: cue points, then their
  // labels in a LIST whose sub-chunks are after-audio ids too.
  const std::string cue =
      Chunk("cue ", Le32(1) + Le32(1) + Le32(200) + "data" + Le32(0) + Le32(0) + Le32(200));
  const std::string adtl = "adtl" + Chunk("labl", Le32(1) + "Start") + Chunk("note", Le32(1) + "x");
  const std::string markers = cue + Chunk("LIST", adtl);
  // A LIST a writer was killed appending: its header and part of its body.
  const std::string cutInfo = "LIST" + Le32(40) + "INFOIART" + Le32(10) + "Some";
  const std::string cutAdtl = "LIST" + Le32(100) + adtl + "labl" + Le32(20) + Le32(2) + "Se";
  // ffmpeg -rf64 always -write_peak on: ds64's data size counts the levl after the audio.
  const std::string levl = Chunk("levl", std::string(40, 'p'));
  const auto rf64 = [&](std::uint64_t samples, const std::string& tagged = "") {
    return Build({.form = "RF64",
                  .riff = 0xFFFFFFFF,
                  .first = wavgen::Ds64(920 + tagged.size(), 848, samples),
                  .stored = 0xFFFFFFFF,
                  .after = levl + tagged});
  };
  // clang-format off
  return {
      // After the audio: chunks as writers append them are left alone.
      {"LIST after, RIFF 0", Build({.riff = 0, .after = isft}), Fixed,
       Riff(RiffOf(800, isft.size()))},
      {"pad, id3", Build({.samples = Tone(801), .after = kPad + "id3 " + Le32(3) + "abc"}),
       Correct},
      {"no pad before LIST", Build({.samples = Tone(7), .after = isft}), Correct},
      {"70 labels after", Build({.after = labels}), Correct},
      {"cut in LIST, RIFF 8", Build({.riff = 8, .after = "LIST" + Le32(100) + "INFOINAM"}), Fixed,
       Riff(RiffOf(800, 16))},  // to the cut
      {"cut in levl", Build({.after = "levl" + Le32(1000) + "peak"}), Correct},
      {"cut in unknown: whole frames", Build({.after = "abcd" + Le32(100) + "x"}), Fixed,
       Sizes(RiffOf(808), 808)},  // 809 bytes of audio: 404 frames
      // Tags appended after the form are not audio.
      {"ID3v1, valid", Build({.after = wavgen::kId3v1}), Correct},
      {"ID3v1, crashed", Build({.riff = 8, .stored = 0, .after = wavgen::kId3v1}), Fixed,
       Sizes(RiffOf(800), 800)},
      {"TAG+ and ID3v1, RIFF counts them", Build({.riff = 1191,
       .after = wavgen::kEnhanced + wavgen::kId3v1}), Correct},
      {"TAG+ and ID3v1, crashed", Build({.riff = 8, .stored = 0,
       .after = wavgen::kEnhanced + wavgen::kId3v1}), Fixed, Sizes(RiffOf(800), 800)},
      {"APEv2 and ID3v1, after LIST",
       Build({.after = Chunk("LIST", "INFO") + wavgen::Ape(true) + wavgen::kId3v1}), Correct},
      {"APEv2, crashed", Build({.riff = 0, .stored = 0xFFFFFFFF, .after = wavgen::Ape(false)}),
       Fixed, Sizes(RiffOf(800), 800)},
      {"ID3v2 footer, valid", Build({.after = wavgen::kId3v2}), Correct},
      {"ID3v2 footer, an empty tag, no audio", Build({.samples = "", .after = std::string(
       "ID3\x04\x00\x10\0\0\0\0" "3DI\x04\x00\x10\0\0\0\0", 20)}), Correct},
      {"ID3v2 footer, odd audio", Build({.riff = 8, .bits = 8, .samples = Tone(801), .stored = 0,
       .after = wavgen::kId3v2}), Fixed, Sizes(RiffOf(801), 801)},
      // What follows the audio, round two: cut tags and ids, chains found
      // from the end, a pad byte a placeholder size hid, long chains.
      {"cut inside ID3v1 after levl",
       Build({.after = Chunk("levl", "peak") + wavgen::kId3v1.substr(0, 60)}), Correct},
      {"cut inside APEv2 after id3", Build({.riff = 0,
       .after = Chunk("id3 ", "abc") + wavgen::Ape(true).substr(0, 50)}), Fixed,
       Riff(RiffOf(800, Chunk("id3 ", "abc").size() + 50))},
      {"cut 2 bytes into LIST: the form ends before", Build({.after = "LI"}), Fixed,
       Riff(RiffOf(800))},
      {"2 bytes, no known id", Build({.after = "xy"}), Fixed, Data(802)},
      {"GStreamer pipe: LIST found from the end", Build({.riff = 0x7FFF0024, .stored = 0x7FFF0000,
       .after = list}), Fixed, Sizes(RiffOf(800, list.size()), 800)},
      {"LIST from the end, placeholder 0", Build({.riff = 8, .stored = 0,
       .after = list + wavgen::kId3v1}), Fixed, Sizes(RiffOf(800, list.size()), 800)},
      {"two chains from the end: to the end",
       Build({.samples = Tone(780) + "JUNK" + Le32(38) + Tone(12), .stored = 0, .after = list}),
       Fixed, Data(800 + list.size())},
      // Round three: markers, whole frames, a chunk cut off as it was
      // appended, a writer's own ds64, a chunk header cut.
      {"markers after, sizes 0", Build({.riff = 0, .stored = 0, .after = markers}), Fixed,
       Sizes(RiffOf(800, markers.size()), 800)},
      {"markers after, GStreamer placeholder", Build({.riff = 0x7FFF0024, .stored = 0x7FFF0000,
       .after = markers}), Fixed, Sizes(RiffOf(800, markers.size()), 800)},
      {"stereo cut 2 bytes into a frame", Build({.channels = 2, .samples = Tone(802),
       .stored = 1600}), Fixed, Sizes(RiffOf(800), 800)},
      {"24-bit stereo cut 5 bytes into a frame", Build({.channels = 2, .bits = 24,
       .samples = Tone(605), .stored = 1200}), Fixed, Sizes(RiffOf(600), 600)},
      {"a partial frame that reads as a cut chunk", Build({.riff = 0, .channels = 4, .bits = 24,
       .samples = Tone(1200) + "LIST" + Le32(1000) + "ab", .stored = 0}), Fixed,
       Sizes(RiffOf(1200, 10), 1200)},  // 10 bytes after whole frames: a chunk's header, counted
      {"24-bit mono cut 2 bytes in: one is the pad byte", Build({.bits = 24, .samples = Tone(12005),
       .stored = 0}), Fixed, Sizes(RiffOf(12003, kPad.size()), 12003)},
      {"LIST INFO cut off as appended", Build({.riff = 60, .stored = 8, .after = cutInfo}), Fixed,
       Sizes(RiffOf(800, cutInfo.size()), 800)},
      {"LIST adtl cut off inside a label", Build({.riff = 8, .stored = 0,
       .after = cutAdtl}), Fixed, Sizes(RiffOf(800, cutAdtl.size()), 800)},
      {"cut-off LIST within a frame: audio", Build({.channels = 2, .samples = Tone(802),
       .stored = 0, .after = cutInfo}), Fixed, Sizes(RiffOf(824), 824)},  // 826 bytes: whole frames
      {"cut-off LIST of an unknown type: audio", Build({.riff = 0, .stored = 0,
       .after = "LIST" + Le32(40) + "abcdIART" + Le32(10) + "Some"}), Fixed,
       Sizes(RiffOf(800 + cutInfo.size()), 800 + cutInfo.size())},
      {"two chunks cut off: audio", Build({.riff = 0, .stored = 0,
       .after = "PEAK" + Le32(100) + "ab" + cutInfo}), Fixed,
       Sizes(RiffOf(810 + cutInfo.size()), 810 + cutInfo.size())},
      {"RF64, ds64 counts its levl", rf64(400), Fixed, {{28, Le64(800)}}},
      {"RF64, count short of any chain", rf64(390), Fixed, {{36, Le64(424)}}},
      {"RF64, ds64 covers levl, not a LIST after", rf64(400, list), Fixed, {{36, Le64(424)}}},
      {"cut inside a chunk size after LIST",
       Build({.after = isft + "id3 " + "\x10"}), Fixed, Riff(RiffOf(800, isft.size()))},
      {"24-bit mono, pad byte at the end", Build({.bits = 24, .samples = Tone(12003) + kPad,
       .stored = 0}), Fixed, Data(12003)},
      {"2000 chunks after, RIFF 0", Build({.riff = 0, .after = empties}), Correct},
      // Round four: cue points and the LIST a writer was killed appending
      // after them, a closing LIST cut in its header, a tag cut after "TAG",
      // fact trusted over a pad byte, a stale fact where the size is computed.
      {"cue, then LIST adtl cut off", Build({.riff = 0, .stored = 0, .after = cue + cutAdtl}),
       Fixed, Sizes(RiffOf(800, cue.size() + cutAdtl.size()), 800)},
      {"cue, then LIST cut off, within a frame: audio", Build({.channels = 2, .samples = Tone(802),
       .stored = 0, .after = cue + cutAdtl}), Fixed, Data(802 + cue.size() + cutAdtl.size())},
      {"GStreamer, cut inside its empty LIST INFO", Build({.riff = 0, .stored = 0,
       .after = "LIST" + Le32(4) + "IN"}), Fixed, Sizes(RiffOf(810), 800)},
      {"placeholder, cut in a LIST's size", Build({.riff = 0x7FFF0024, .stored = 0x7FFF0000,
       .after = "LIST" + Le32(26).substr(0, 2)}), Fixed, Sizes(RiffOf(800), 800)},
      {"cut in a LIST's size, within a frame: audio", Build({.channels = 2, .samples = Tone(802),
       .stored = 0, .after = "LIST" + Le32(26).substr(0, 2)}), Fixed, Data(808)},
      {"ID3v1 cut after TAG, odd audio", Build({.bits = 24, .samples = Tone(801) + kPad,
       .stored = 801, .after = "TAG"}), Correct},
      {"u-law, fact over a pad byte", Build({.riff = 0, .format = 7, .bits = 8,
       .before = Chunk("fact", Le32(801)), .samples = Tone(801) + kPad, .stored = 0}), Fixed,
       {{4, Le32(RiffOf(802, 12))}, {52, Le32(801)}}},
      {"8-bit PCM, no fact: a last 0x00 is the pad byte", Build({.bits = 8,
       .samples = Tone(801) + kPad, .stored = 0}), Fixed, Data(801)},
      {"8-bit PCM, no fact, a last byte not 0x00: audio", Build({.bits = 8,
       .samples = Tone(801) + "\x01", .stored = 0}), Fixed, Data(802)},
      {"u-law, no fact, a last 0x00: the pad byte", Build({.riff = 0, .format = 7, .bits = 8,
       .samples = Tone(801) + kPad, .stored = 0}), Fixed, Sizes(RiffOf(802), 801)},
      {"IMA, stale fact, sizes 0", Build({.riff = 0, .format = 0x11, .bits = 4, .block = 256,
       .extra = Le16(2) + Le16(505), .before = Chunk("fact", Le32(505)), .samples = Tone(1024),
       .stored = 0}), Fixed, {{4, Le32(RiffOf(1024, 16))}, {48, Le32(2020)}, {56, Le32(1024)}}},
      // Round five: a whole chunk, then the first bytes of the next one's id;
      // a sample format's count that readers ignore.
      {"LIST, then 2 bytes of id3, sizes 0", Build({.riff = 0, .stored = 0, .after = isft + "id"}),
       Fixed, Sizes(RiffOf(800, isft.size()), 800)},
      {"LIST, then 3 bytes of id3, within a frame: audio", Build({.channels = 2,
       .samples = Tone(802), .stored = 0, .after = isft + "id3"}), Fixed,
       Sizes(RiffOf(820), 820)},  // whole frames: the rest, a cut id, after the form
      {.name = "PCM, fact half the frames: the data's frames said",
       .in = Build({.before = Chunk("fact", Le32(200))}), .outcome = Correct, .frames = 400},
      {.name = "IMA, fact within the last block: its count said", .in = Ima(Le32(2000)),
       .outcome = Correct, .frames = 2000},
  };
  // clang-format on
}

// 4 GiB and more: RF64, and RIFF made RF64 or sized to the end.
std::vector<Row> Large() {
  // IMA ADPCM without the fmt extension: no samples per block, no frame count.
  const std::string adpcm =
      Chunk("fmt ", Le16(0x11) + Le16(1) + Le32(8000) + Le32(4055) + Le16(256) + Le16(4));
  const std::string ds0 = wavgen::Ds64(0, 0, 0), junk = wavgen::kJunk28;
  const std::string toEnd = Build({.riff = 0xFFFFFFFF, .samples = "", .stored = 0xFFFFFFFF});
  // The fields an upgrade of a sparse 5 GiB 16-bit mono recording writes.
  const Changes upgraded = {{0, "RF64"},
                            {4, kFF},
                            {12, "ds64"},
                            {20, Le64(k5G - 8)},
                            {28, Le64(k5G - 80)},
                            {36, Le64(k5G / 2 - 40)},
                            {76, kFF}};
  // clang-format off
  return {
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
      {.name = "BW64 crashed: stays BW64", .in = Build({.form = "BW64", .riff = 0, .first = ds0,
       .samples = "", .stored = 0}), .outcome = Fixed,
       .changes = {{4, kFF}, {20, Le64(k5G - 8)}, {28, Le64(k5G - 80)}, {36, Le64(k5G / 2 - 40)},
                   {76, kFF}},
       .length = k5G},
      {"RF64, LIST after", Build({.form = "RF64", .riff = 0xFFFFFFFF,
       .first = wavgen::Ds64(884, 800, 400), .stored = 0xFFFFFFFF, .after = Chunk("LIST", "INFO")}),
       Correct},
      {"RF64 odd, pad counted", Build({.form = "RF64", .riff = 0xFFFFFFFF,
       .first = wavgen::Ds64(1074, 1002, 1001), .bits = 8, .samples = Tone(1001) + kPad,
       .stored = 0xFFFFFFFF}), Correct},
      {"RF64, table past ds64", Build({.form = "RF64", .riff = 0xFFFFFFFF,
       .first = Chunk("ds64", Le64(872) + Le64(800) + Le64(400) + Le32(0xAAAAAAAA)),
       .stored = 0xFFFFFFFF}), Fixed, {{44, Le32(0)}}},
      {"RF64 without ds64", Build({.form = "RF64", .riff = 7, .stored = 0}), Fixed,
       {{40, Le32(800)}}},
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
      {"JUNK, fits", Build({.riff = 0, .first = junk, .stored = 0}), Fixed,
       {{4, Le32(872)}, {76, Le32(800)}}},
      {.name = "JUNK, audio fits, file not", .in = Build({.riff = 0, .first = junk, .samples = "",
       .stored = 0xFFFF0000}), .outcome = Fixed,
       .changes = {{0, "RF64"}, {4, kFF}, {12, "ds64"}, {20, Le64(k5G - 8)},
                   {28, Le64(0xFFFF0000)}, {36, Le64(0x7FFF8000)}},
       .length = k5G, .far = {{80 + 0xFFFF0000ULL, "LIST" + Le32(0x4000FFA8) + "INFO"}}},
  };
  // clang-format on
}

// AIFF, AIFF-C and Wave64, as their writers leave them.
std::vector<Row> Containers() {
  using wavgen::Be16;
  using wavgen::Be32;
  using wavgen::BuildAiff;
  using wavgen::BuildW64;
  using wavgen::W64Chunk;
  // AIFF: the FORM size at 4, COMM's frame count at 22, the SSND size at 42.
  const auto aiff = [](std::uint32_t form, std::uint32_t frames, std::uint32_t ssnd) -> Changes {
    return {{4, Be32(form)}, {22, Be32(frames)}, {42, Be32(ssnd)}};
  };
  // Wave64: the riff size at 16, the data size at 96.
  const auto w64 = [](std::uint64_t riff, std::uint64_t data) -> Changes {
    return {{16, Le64(riff)}, {96, Le64(data)}};
  };
  const std::string id3 =
      wavgen::BeChunk("ID3 ", std::string("ID3\x04\0\0\0\0\0\x0bTIT2\0\0\0\x01\0\0x", 21));
  const std::string mark = wavgen::BeChunk("MARK", Be16(1) + Be16(1) + Be32(100) + "\x05Start");
  const std::string levl = W64Chunk("levl", std::string(40, 'p'));
  const std::string name = wavgen::BeChunk("NAME", "Take 12");
  const std::string anno = "ANNO" + Be32(100) + "abc";
  const std::string list = W64Chunk("list", "INFOxy");  // 30 bytes, 2 of padding
  // clang-format off
  return {
      {"AIFF, valid", BuildAiff({}), Correct},
      {"AIFF, MARK after, valid", BuildAiff({.after = mark}), Correct},
      {"AIFF, sox killed: its placeholders", BuildAiff({.size = 0x7F000050, .frames = 532676608,
       .stored = 0x7F000008}), Fixed, aiff(846, 400, 808)},
      {"AIFF, ffmpeg killed: 0", BuildAiff({.size = 0, .frames = 0, .stored = 0}), Fixed,
       aiff(846, 400, 808)},
      {"AIFF, libsndfile killed", BuildAiff({.size = 0xFFFFFFF8, .frames = 0, .stored = 8}), Fixed,
       aiff(846, 400, 808)},
      {"AIFF, cut mid-frame", BuildAiff({.size = 1646, .channels = 2, .frames = 400,
       .samples = Tone(802), .stored = 1608}), Fixed, aiff(846, 200, 808)},
      {"AIFF, ID3 chunk after SSND, sizes 0", BuildAiff({.size = 0, .frames = 0, .stored = 0,
       .after = id3}), Fixed, aiff(static_cast<std::uint32_t>(846 + id3.size()), 400, 808)},
      {"AIFF, a count the sizes disagree with", BuildAiff({.frames = 399}), Fixed,
       {{22, Be32(400)}}},
      {"AIFF, unknown chunk after, sizes 0: audio", BuildAiff({.size = 0, .frames = 0,
       .stored = 0, .after = "XYZW" + Be32(4) + "abcd"}), Fixed, aiff(858, 406, 820)},
      {"AIFF-C ima4, sizes 0", BuildAiff({.form = "AIFC", .size = 0, .type = "ima4", .frames = 0,
       .samples = Tone(34 * 13), .stored = 0}), Fixed,
       {{4, Be32(64 + 442)}, {34, Be32(13)}, {60, Be32(450)}}},
      {"AIFF-C ima4 stereo, libsndfile's half count", BuildAiff({.form = "AIFC", .type = "ima4",
       .channels = 2, .frames = 6, .samples = Tone(68 * 13)}), Correct},
      {"AIFF-C twos, sizes 0", BuildAiff({.form = "AIFC", .size = 0, .type = "twos", .frames = 0,
       .stored = 0}), Fixed, {{4, Be32(864)}, {34, Be32(400)}, {60, Be32(808)}}},
      {"AIFF-C, unknown compression: left alone", BuildAiff({.form = "AIFC", .type = "QDM2",
       .stored = 0}), NoDataChunk},
      {.name = "AIFF past 4 GiB: too large", .in = BuildAiff({.size = 0, .frames = 0,
       .samples = "", .stored = 0}), .outcome = TooLarge, .length = k5G},
      {"W64, valid", BuildW64({}), Correct},
      {"W64, sox and libsndfile killed: riff 0, data 24", BuildW64({.size = 0, .stored = 24}),
       Fixed, w64(904, 824)},
      {"W64, ffmpeg killed: sizes past 2^63", BuildW64({.size = ~0ULL,
       .stored = 0x7FFFFFFFFFFFFFFF}), Fixed, w64(904, 824)},
      {"W64, data size 2^32 past the audio", BuildW64({.stored = (1ULL << 32) + 824}), Fixed,
       {{96, Le64(824)}}},
      {"W64, a byte after odd audio starts a marker GUID", BuildW64({.size = 0,
       .samples = Tone(802) + "V", .stored = 24}), Fixed, w64(906, 826)},
      {"W64, a byte after odd audio, no GUID's", BuildW64({.size = 0, .samples = Tone(802) + "x",
       .stored = 24}), Fixed, w64(907, 826)},
      {"W64, cut mid-frame", BuildW64({.channels = 2, .samples = Tone(802), .stored = 1624}), Fixed,
       w64(904, 824)},
      {"W64, levl after odd audio and its padding", BuildW64({.size = 0, .bits = 24,
       .samples = Tone(801) + std::string(7, '\0'), .stored = 24, .after = levl}), Fixed,
       w64(912 + levl.size(), 825)},
      {"W64, levl cut off as appended", BuildW64({.size = 0, .stored = 24,
       .after = levl.substr(0, 30)}), Fixed, w64(934, 824)},
      {"W64, unknown chunk after, sizes 0: audio", BuildW64({.size = 0, .stored = 24,
       .after = std::string(16, 'g') + Le64(32) + "abcdefgh"}), Fixed, w64(936, 856)},
      {"W64, u-law fact 0, sizes 0", BuildW64({.size = 0, .format = 7, .bits = 8,
       .before = W64Chunk("fact", Le64(0)), .stored = 24}), Fixed,
       {{16, Le64(936)}, {104, Le32(800)}, {128, Le64(824)}}},
      // Round five.
      {"AIFF, NAME then 2 bytes of ANNO, sizes 0", BuildAiff({.size = 0, .frames = 0,
       .stored = 0, .after = name + "AN"}), Fixed, aiff(static_cast<std::uint32_t>(846 + name.size()), 400, 808)},
      {"AIFF, all-ones placeholders, killed inside ANNO", BuildAiff({.size = 0xFFFFFFFF,
       .frames = 0xFFFFFFFF, .stored = 0xFFFFFFFF, .after = anno}), Fixed,
       aiff(static_cast<std::uint32_t>(846 + anno.size()), 400, 808)},
      {"AIFF cut inside ANNO, FORM within the file: stands", BuildAiff({.frames = 0,
       .stored = 0, .after = anno}), Fixed, {{22, Be32(400)}, {42, Be32(808)}}},
      {"sox 8-bit AIFF: FORM leaves out the pad byte", BuildAiff({.size = 847, .bits = 8,
       .frames = 801, .samples = Tone(801) + kPad, .stored = 809}), Correct},
      {"8-bit AIFF, FORM 2 short", BuildAiff({.size = 846, .bits = 8, .frames = 801,
       .samples = Tone(801) + kPad, .stored = 809}), Fixed, {{4, Be32(848)}}},
      {"8-bit AIFF, sizes 0: a last 0x00 is audio", BuildAiff({.size = 0, .bits = 8,
       .frames = 0, .samples = Tone(801) + kPad, .stored = 0}), Fixed, aiff(848, 802, 810)},
      {"AIFF-C u-law, sizes 0: a last 0x00 is the pad byte", BuildAiff({.form = "AIFC",
       .size = 0, .type = "ulaw", .bits = 8, .frames = 0, .samples = Tone(801) + kPad,
       .stored = 0}), Fixed, {{4, Be32(866)}, {34, Be32(801)}, {60, Be32(809)}}},
      {"W64, list cut 6 bytes into its GUID", BuildW64({.size = 0, .stored = 24,
       .after = wavgen::Guid("list").substr(0, 6)}), Fixed, w64(904, 824)},
      {"W64, whole list, its padding cut", BuildW64({.size = 0, .stored = 24,
       .after = list.substr(0, list.size() - 1)}), Fixed, w64(903 + list.size(), 824)},
      {"W64, 3 bytes of a GUID alone: audio", BuildW64({.size = 0, .stored = 24,
       .after = "lis" + std::string(5, '\0')}), Fixed, w64(912, 832)},
      {.name = "W64 PCM, fact half the frames: the data's frames said",
       .in = BuildW64({.before = W64Chunk("fact", Le64(200))}), .outcome = Correct,
       .frames = 400},
  };
  // clang-format on
}

std::vector<Row> Rows() {
  std::vector<Row> rows = Heads();
  for (std::vector<Row> more : {Tails(), Large(), Containers()}) {
    rows.insert(rows.end(), more.begin(), more.end());
  }
  return rows;
}

class Plan : public testing::TestWithParam<Row> {};

// Exactly the wrong fields are rewritten, and every state a write cut off
// part-way leaves is finished by the next run.
TEST_P(Plan, Fields) {
  const Row& row = GetParam();
  const MemFile file{row.in, std::max<std::uint64_t>(row.length, row.in.size()), row.far,
                     row.failFrom};
  const zavevuv::Plan plan = file.Decide();
  EXPECT_EQ(plan.outcome, row.outcome);
  EXPECT_EQ(plan.insert == zavevuv::Insert::Make ? plan.upgrade.data : 0, row.upgrade);
  if (row.frames) {
    EXPECT_EQ(plan.found.frames, row.frames);
  }
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

INSTANTIATE_TEST_SUITE_P(Row, Plan, testing::ValuesIn(Rows()), [](const auto& param) {
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

// A file whose header is gone, rebuilt from a sibling take.
namespace rebuild {

using wavgen::Plucked;
using wavgen::Sampled;
using zavevuv::Refusal;
using zavevuv::Shape;

enum Loss { Zeros, Cut, Overwritten };

struct Row {
  const char* name;
  std::string take;  // a take of the same recorder, whose header stands
  std::string lost;  // the file before it lost its head
  Loss loss;         // how: zeros over its first `n` bytes, its first `n`
  std::size_t n;     // bytes cut away, or overwritten
  Shape shape;       // what it is then
  Refusal refusal = Refusal::None;
  bool exact = false;  // rebuilt, it is `lost` again (its lost audio zeros)
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

constexpr std::size_t kFrames = 12000;  // 1.5 s at 8,000 Hz
constexpr std::uint64_t kB = 4096;      // the block an insert makes

std::string Wav(std::uint16_t bits, std::uint16_t channels, Sampled as, std::string before = "",
                std::string form = "RIFF", std::uint16_t format = 1, unsigned seed = 1) {
  return Build({.form = form,
                .first = form == "RIFF" ? "" : wavgen::Ds64(0, 0, 0),
                .format = format,
                .channels = channels,
                .bits = bits,
                .before = before,
                .samples = Plucked(kFrames, channels, as, seed)});
}
std::string Aiff(std::string form, std::string type, Sampled as, std::string before = "") {
  return wavgen::BuildAiff({.form = form,
                            .type = type,
                            .channels = 2,
                            .bits = static_cast<std::uint16_t>(8 * as.bytes),
                            .before = before,
                            .samples = Plucked(kFrames, 2, as, 2)});
}
std::string W64(std::uint16_t bits, Sampled as) {
  return wavgen::BuildW64({.channels = 2, .bits = bits, .samples = Plucked(kFrames, 2, as, 3)});
}

const Sampled kLe16{'i', 2, false}, kBe16{'i', 2, true}, kLe24{'i', 3, false};
const std::string kBext = Chunk("bext", std::string(602, 'b'));
const std::string kIxml = Chunk("iXML", "<BWFXML><SCENE>12</SCENE></BWFXML>");
const std::string kInfo = Chunk("LIST", "INFO" + Chunk("ISFT", "Lavf59.27.100"));

std::vector<Row> Rows() {
  const std::string wav = Wav(16, 2, kLe16), wav2 = Wav(16, 2, kLe16, "", "RIFF", 1, 7);
  const std::string bwf = Wav(16, 2, kLe16, kBext + kIxml);
  const std::string mono = Wav(16, 1, kLe16), wav24 = Wav(24, 2, kLe24);
  const std::string rf64 = Wav(24, 2, kLe24, "", "RF64");
  const std::string aiff = Aiff("AIFF", "NONE", kBe16), sowt = Aiff("AIFC", "sowt", kLe16);
  const std::string w64 = W64(16, kLe16);
  const std::string ulaw = Wav(8, 1, {'m', 1}, Chunk("fact", Le32(kFrames)), "RIFF", 7);
  const std::string flt = Wav(32, 2, {'f', 4}, Chunk("fact", Le32(kFrames)), "RIFF", 3);
  const std::string i32 = Wav(32, 2, {'i', 4}), a32 = Aiff("AIFF", "NONE", {'i', 4, true});
  // clang-format off
  return {
      // The head zeroed: over it exactly, past it (a sector), or written part-way.
      {"wav, zeroed", wav2, wav, Zeros, 44, Shape::Zeroed, Refusal::None, true},
      {"wav, a sector zeroed", wav2, wav, Zeros, 512, Shape::Zeroed, Refusal::None, true},
      {"bwf, zeroed, take's story not kept", bwf, wav, Zeros, 4096, Shape::Zeroed},
      {"rf64, zeroed", rf64, rf64, Zeros, 600, Shape::Zeroed},
      {"aiff, zeroed", aiff, aiff, Zeros, 54, Shape::Zeroed, Refusal::None, true},
      {"aifc sowt, zeroed", sowt, sowt, Zeros, 2048, Shape::Zeroed, Refusal::None, true},
      {"aiff 32-bit, zeroed", a32, a32, Zeros, 54, Shape::Zeroed, Refusal::None, true},
      {"w64, zeroed", w64, w64, Zeros, 104, Shape::Zeroed, Refusal::None, true},
      {"mu-law, zeroed", ulaw, ulaw, Zeros, 56, Shape::Zeroed, Refusal::None, true},
      {"float, zeroed", flt, flt, Zeros, 512, Shape::Zeroed, Refusal::None, true},
      // The head cut away, at a frame, inside one, inside a sample.
      {"wav, cut at a frame", wav, wav2, Cut, 4140, Shape::Cut},
      {"wav, cut inside a frame", wav, wav2, Cut, 4142, Shape::Cut},
      {"wav 24-bit, cut inside a sample", wav24, wav24, Cut, 4146, Shape::Cut},
      {"aiff, cut inside a sample", aiff, aiff, Cut, 4097, Shape::Cut},
      {"w64, cut at a frame", w64, w64, Cut, 4136, Shape::Cut},
      {"w64, cut inside a frame", w64, w64, Cut, 4138, Shape::Cut},
      {"w64, cut inside a sample", w64, w64, Cut, 4139, Shape::None, Refusal::Alignment},
      {"wav mono, cut inside a sample", mono, mono, Cut, 4141, Shape::None, Refusal::Alignment},
      // The form or the format overwritten; the data chunk's header, and
      // the chunks before it, stand.
      {"wav, form gone", wav, wav2, Overwritten, 4, Shape::Damaged},
      {"bwf, fmt gone, bext and iXML kept", wav, bwf, Overwritten, 36, Shape::Damaged},
      {"ffmpeg, LIST kept", wav, Wav(16, 2, kLe16, kInfo), Overwritten, 30, Shape::Damaged},
      {"aiff, COMM gone", aiff, aiff, Overwritten, 38, Shape::Damaged},
      {"w64, fmt gone", w64, w64, Overwritten, 60, Shape::Damaged},
      // A take that does not fit: nothing is written.
      {"16-bit file, 24-bit take", wav24, wav, Zeros, 44, Shape::None, Refusal::Misfit},
      {"big-endian file, little-endian take", sowt, aiff, Zeros, 54, Shape::None, Refusal::Misfit},
      {"float file, integer take", i32, flt, Zeros, 56, Shape::None, Refusal::Misfit},
      {"integer file, float take", flt, i32, Zeros, 56, Shape::None, Refusal::Misfit},
      {"silence", wav, Build({.channels = 2, .samples = std::string(48000, '\0')}), Zeros, 44,
       Shape::None, Refusal::Silent},
      {"its header stands", wav, wav2, Zeros, 0, Shape::None},
      {"form gone, 2 bytes between the take's head and data", wav, Build({.channels = 2, .extra = Le16(0),
       .samples = Plucked(kFrames, 2, kLe16, 7)}), Overwritten, 4, Shape::None, Refusal::NoRoom},
  };
  // clang-format on
}

// The file once its head is lost.
MemFile Lose(const Row& row) {
  std::string bytes = row.lost;
  if (row.loss == Cut) {
    bytes.erase(0, row.n);
  } else {
    bytes.replace(0, row.n, std::string(row.n, row.loss == Zeros ? '\0' : 'x'));
  }
  return MemFile{bytes};
}

// The rebuild carried out: a cut file's block inserted, then its head.
MemFile Rebuilt(MemFile file, const zavevuv::Plan& plan, const std::optional<zavevuv::Take>& take) {
  if (plan.insert == zavevuv::Insert::Make) {
    const std::uint64_t old = file.length;
    file.Insert(kB);
    const zavevuv::Plan finish = file.Rebuild(take, zavevuv::RebuildInsert{kB, plan.partial, old});
    EXPECT_EQ(finish.insert, zavevuv::Insert::Finish);
    file.Apply(finish);
    return file;
  }
  file.Apply(plan);
  return file;
}

class Rebuild : public testing::TestWithParam<Row> {};

// The take's format and true sizes, every byte of audio where it was (a cut
// file's behind the block), and every write cut off part-way finished by
// the next run; a misfit left as it was.
TEST_P(Rebuild, Shapes) {
  const Row& row = GetParam();
  const auto take = MemFile{row.take}.Take();
  ASSERT_TRUE(take.has_value());
  const MemFile file = Lose(row);
  const zavevuv::Plan plan = file.Rebuild(take);
  EXPECT_EQ(plan.found.shape, row.shape);
  EXPECT_EQ(plan.found.refusal, row.refusal);
  if (row.refusal != Refusal::None || row.shape == Shape::None) {
    EXPECT_TRUE(!zavevuv::WritesAny(plan) || row.n == 0);
    EXPECT_EQ(plan.outcome, row.n == 0 ? file.Decide().outcome : Outcome::HeaderGone);
    return;
  }
  const MemFile done = Rebuilt(file, plan, take);
  const auto kept = row.loss == Cut ? kB + plan.partial : plan.head.size();
  EXPECT_EQ(done.bytes.substr(kept), file.bytes.substr(kept - (row.loss == Cut ? kB : 0)));
  if (row.exact) {
    std::string want = row.lost;
    std::fill_n(want.begin() + static_cast<long>(plan.head.size()),
                std::max(row.n, plan.head.size()) - plan.head.size(), '\0');
    EXPECT_EQ(Diff(want, done.bytes), "");
  }
  const auto again = done.Take();
  ASSERT_TRUE(again.has_value());
  EXPECT_TRUE(again->encoding == take->encoding && again->channels == take->channels &&
              again->sampleRate == take->sampleRate && again->form == take->form);
  EXPECT_EQ(done.Rebuild(take).outcome, Outcome::Correct);
  EXPECT_EQ(done.Decide().outcome, Outcome::Correct);
  // A run killed at any byte of the head's writes: the next finishes it.
  MemFile before = file;
  zavevuv::Plan writes = plan;
  if (plan.insert == zavevuv::Insert::Make) {
    before.Insert(kB);
    writes = before.Rebuild(take, zavevuv::RebuildInsert{kB, plan.partial, file.length});
  }
  for (std::size_t cut = 1; cut < torn::Written(before, writes); cut += cut < 16 ? 1 : 97) {
    MemFile torn = torn::CutAfter(before, writes, cut);
    const auto made = plan.insert == zavevuv::Insert::Make
                          ? std::optional(zavevuv::RebuildInsert{kB, plan.partial, file.length})
                          : std::nullopt;
    torn.Apply(torn.Rebuild(take, made));
    EXPECT_EQ(torn.bytes, done.bytes) << "cut after " << cut;
  }
}

INSTANTIATE_TEST_SUITE_P(Row, Rebuild, testing::ValuesIn(Rows()), [](const auto& param) {
  std::string name = param.param.name;
  std::ranges::replace_if(
      name, [](char c) { return std::isalnum(c) == 0; }, '_');
  return name;
});

}  // namespace rebuild
