#include <gtest/gtest.h>

#include <array>
#include <string>

#include "support.h"
#include "wavgen.h"
#include "zavevuv.h"

using wavgen::Build;
using wavgen::Chunk;
using wavgen::Le32;
using zavevuv::Outcome;
using zavevuv::RepairFile;

namespace {

using Bytes = std::array<unsigned char, 4>;
std::string Zeros(std::size_t n) { return std::string(n, 0); }

TEST(Codec, ConvertsBothWaysAndKeepsTheLow32Bits) {
  const std::pair<std::int64_t, Bytes> cases[] = {
      {2084, {0x24, 0x08, 0, 0}},
      {2206368128, {0x80, 0x81, 0x82, 0x83}},
      {4294967295, {0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const auto& [count, bytes] : cases) {
    EXPECT_EQ(zavevuv::Assem4(bytes), count);
  }
  // Every byte position with many values; 4 GiB more stores the same bytes.
  for (std::int64_t v = 0; v <= 0xFFFFFFFF; v += 65521) {
    Bytes out{}, wrapped{};
    zavevuv::Decon4(v, out);
    zavevuv::Decon4(v + 0x100000000, wrapped);
    ASSERT_TRUE(zavevuv::Assem4(out) == v && wrapped == out) << v;
  }
}

TEST(Repair, ChecksAndPatchesOnlyTheSizeField) {
  const std::string pad = Zeros(1);
  const struct {
    const char* name;
    std::string in;
    Outcome outcome;
    std::int64_t at = -1;     // where the four size bytes change, if they do
    std::uint32_t value = 0;  // what they then hold
  } cases[] = {
      {"crashed recording", Build({.stored = 0}), Outcome::Fixed, 40, 800},
      {"copy cut short", Build({.stored = 5000}), Outcome::Fixed, 40, 800},
      {"top byte 0x80", Build({.stored = 0x80000000}), Outcome::Fixed, 40, 800},
      {"tag at 131072", Build({.before = Chunk("junk", Zeros(131028)), .stored = 0}),
       Outcome::Fixed, 131076, 800},
      {"tag at 131074", Build({.before = Chunk("junk", Zeros(131030))}), Outcome::NoTag},
      {"tag at an odd offset", std::string(37, 'x') + "data" + Le32(0) + "abcd", Outcome::NoTag},
      {"tag in capitals", std::string(36, 'x') + "DATA" + Le32(0) + "abcd", Outcome::NoTag},
      {"empty file", "", Outcome::NoTag},
      {"cut in size field", std::string(36, 'x') + "data\x01\x02", Outcome::Truncated},
      {"first even tag wins", Build({.before = Chunk("note", "data")}), Outcome::Fixed, 48, 804},
      {"LIST after the data", Build({.after = Chunk("LIST", "INFOISFTab")}), Outcome::Correct},
      {"pad after odd data", Build({.samples = wavgen::Tone(801), .after = pad}), Outcome::Correct},
      {"pad, chunk, no pad",
       Build({.samples = wavgen::Tone(801), .after = pad + "id3 " + Le32(3) + "abc"}),
       Outcome::Correct},
      {"no chunk after data", Build({.after = "\x01\x02\x03"}), Outcome::Fixed, 40, 803},
      {"chunk past the end", Build({.after = "LIST" + Le32(100) + "abc"}), Outcome::Fixed, 40, 811},
  };
  const TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir / "t.wav", c.in);
    EXPECT_EQ(RepairFile(dir / "t.wav"), c.outcome);
    std::string out = c.in;  // as it was but for the four bytes at c.at
    if (c.at >= 0) {
      out.replace(static_cast<std::size_t>(c.at), 4, Le32(c.value));
    }
    EXPECT_EQ(ReadFile(dir / "t.wav"), out);
    EXPECT_NE(RepairFile(dir / "t.wav"), Outcome::Fixed) << "a second run";
  }
}

}  // namespace
