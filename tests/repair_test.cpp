#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "memfile.h"
#include "plan.h"
#include "wavgen.h"
#include "zavevuv.h"

using wavgen::Build;
using wavgen::Chunk;
using wavgen::Le32;
using wavgen::Le64;
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

TEST(Repair, RewritesExactlyTheSizeFieldsThatAreWrong) {
  using enum Outcome;
  const std::string pad(1, '\0');
  // ffmpeg's metadata before the audio: "data" at an even offset inside it.
  const std::string info =
      Chunk("LIST", "INFO" + Chunk("INAM", std::string("Big data", 9)) + Chunk("ISFT", "Lavf59"));
  const auto h = static_cast<std::uint32_t>(36 + info.size());
  // IMA ADPCM: frames of no fixed size, so no sample count can be derived.
  const std::string adpcm = Chunk("fmt ", wavgen::Le16(0x11) + wavgen::Le16(1) + Le32(8000) +
                                              Le32(4055) + wavgen::Le16(256) + wavgen::Le16(4));
  const std::string ds0 = wavgen::Ds64(0, 0, 0), junk = wavgen::kJunk28;
  const struct {
    const char* name;
    std::string in;
    Outcome outcome;
    std::vector<std::pair<std::uint64_t, std::string>> changes{};  // offset, new bytes
    std::uint64_t length = 0;  // when larger than `in`: zeros follow (sparse)
  } cases[] = {
      // clang-format off
      {"libsndfile", Build({.riff = 8, .stored = 0}), Fixed, {{4, Le32(836)}, {40, Le32(800)}}},
      {"RIFF size only", Build({.riff = 36}), Fixed, {{4, Le32(836)}}},
      {"ffmpeg, data in LIST", Build({.riff = 0, .before = info, .stored = 0xFFFFFFFF}), Fixed,
       {{4, Le32(h + 800)}, {h + 4, Le32(800)}}},
      {"valid, data in LIST", Build({.before = info}), Correct},
      {"bad chunk: probe", Build({.before = "\x01\x02\x03\x04", .stored = 0}), Fixed,
       {{4, Le32(840)}, {44, Le32(800)}}},
      {"tag at 131072", Build({.before = Chunk("FLLR", std::string(131028, 0)), .stored = 0}), Fixed,
       {{4, Le32(131872)}, {131076, Le32(800)}}},
      {"data past the window", Build({.before = Chunk("FLLR", std::string(131030, 0))}), NoTag},
      {"not a WAVE file", "My notes: the data for the session is in the drive.", NoTag},
      // After the audio: chunks as writers append them are left alone.
      {"LIST after", Build({.riff = 0, .after = Chunk("LIST", "INFOISFTab")}), Correct},
      {"pad, id3", Build({.samples = wavgen::Tone(801), .after = pad + "id3 " + Le32(3) + "abc"}), Correct},
      {"cut in LIST", Build({.after = "LIST" + Le32(100) + "INFOINAM"}), Correct},
      {"cut in unknown", Build({.after = "abcd" + Le32(100) + "x"}), Fixed, {{40, Le32(809)}}},
      // 4 GiB and more.
      {"RIFF, length only", Build({.samples = "", .stored = 0}), Fixed,
       {{4, kFF}, {40, Le32(0xFFFFFFF0)}}, 44 + 0xFFFFFFF0ULL},
      {"RF64 crashed", Build({.form = "RF64", .riff = 0, .first = ds0, .samples = "", .stored = 0}), Fixed,
       {{4, kFF}, {20, Le64(k5G - 8)}, {28, Le64(k5G - 80)}, {36, Le64(k5G / 2 - 40)}, {76, kFF}}, k5G},
      {"RF64, LIST after", Build({.form = "RF64", .riff = 0xFFFFFFFF, .first = wavgen::Ds64(884, 800, 400),
                                  .stored = 0xFFFFFFFF, .after = Chunk("LIST", "INFO")}), Correct},
      {"RF64 without ds64", Build({.form = "RF64", .riff = 7, .stored = 0}), Fixed, {{40, Le32(800)}}},
      {"JUNK, upgraded", Build({.riff = 0, .first = junk, .samples = "", .stored = 0}), Fixed,
       {{0, "RF64"}, {4, kFF}, {12, "ds64"}, {20, Le64(k5G - 8)}, {28, Le64(k5G - 80)},
        {36, Le64(k5G / 2 - 40)}, {76, kFF}}, k5G},
      {"JUNK, ADPCM", "RIFF" + Le32(0) + "WAVE" + junk + adpcm + "data" + Le32(0), Fixed,
       {{0, "RF64"}, {4, kFF}, {12, "ds64"}, {20, Le64(k5G - 8)}, {28, Le64(k5G - 80)}, {76, kFF}}, k5G},
      {"JUNK, fits", Build({.riff = 0, .first = junk, .stored = 0}), Fixed, {{4, Le32(872)}, {76, Le32(800)}}},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const MemFile file{c.in, std::max<std::uint64_t>(c.length, c.in.size())};
    const zavevuv::Plan plan = file.Decide();
    EXPECT_EQ(plan.outcome, c.outcome);
    std::string expected = c.in;
    for (const auto& [at, bytes] : c.changes) {
      expected.replace(at, bytes.size(), bytes);
    }
    MemFile once = file;
    once.Apply(plan.writes);
    EXPECT_EQ(once.bytes, expected);
    // Any part of the writes already in place, as a torn write leaves it:
    // the next run makes the same file, and a run after that writes nothing.
    ASSERT_LE(plan.writes.size(), 10U);
    for (unsigned mask = 0; mask < 1U << plan.writes.size(); ++mask) {
      MemFile torn = file;
      for (std::size_t i = 0; i < plan.writes.size(); ++i) {
        if ((mask >> i & 1U) != 0) {
          torn.Apply({plan.writes[i]});
        }
      }
      torn.Apply(torn.Decide().writes);
      EXPECT_EQ(torn.bytes, once.bytes) << "torn " << mask;
      EXPECT_TRUE(torn.Decide().writes.empty()) << "a later run, torn " << mask;
    }
  }
}

}  // namespace
