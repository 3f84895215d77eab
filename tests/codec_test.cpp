#include <array>
#include <cstdint>

#include <gtest/gtest.h>

#include "zavevuv.h"

using zavevuv::Assem4;
using zavevuv::Decon4;
using Bytes = std::array<unsigned char, 4>;

TEST(Codec, Assem4ReadsUnsignedLittleEndian) {
  const std::pair<Bytes, std::int64_t> cases[] = {
      {{0x24, 0x08, 0x00, 0x00}, 2084},
      {{0xFF, 0xFF, 0xFF, 0xFF}, 4294967295},
      {{0x80, 0x81, 0x82, 0x83}, 2206368128},
      {{0x00, 0x00, 0x00, 0x80}, 2147483648},
  };
  for (const auto& [bytes, count] : cases) {
    EXPECT_EQ(Assem4(bytes), count);
  }
}

TEST(Codec, Decon4KeepsTheLow32Bits) {
  const std::pair<std::int64_t, Bytes> cases[] = {
      {0, {0, 0, 0, 0}},          {256, {0, 1, 0, 0}},
      {16777216, {0, 0, 0, 1}},   {4294967295, {0xFF, 0xFF, 0xFF, 0xFF}},
      {4294967296, {0, 0, 0, 0}}, {4294967301, {5, 0, 0, 0}},
  };
  for (const auto& [count, bytes] : cases) {
    Bytes out{};
    Decon4(count, out);
    EXPECT_EQ(out, bytes) << count;
  }
}

TEST(Codec, RoundTripsAcrossTheWholeRange) {
  // A prime stride visits every byte position with many values.
  for (std::int64_t v = 0; v <= 0xFFFFFFFF; v += 65521) {
    Bytes out{};
    Decon4(v, out);
    ASSERT_EQ(Assem4(out), v);
  }
}
