// SPDX-License-Identifier: MIT
#include "counts.h"

#include <algorithm>

#include "format.h"

namespace zavevuv {
namespace {

// Format tags whose counts follow from the data size.
constexpr std::uint64_t kPcm = 1, kAdpcm = 2, kFloat = 3, kAlaw = 6, kMulaw = 7, kImaAdpcm = 0x11,
                        kGsm = 0x31, kExtensible = 0xFFFE;
constexpr std::uint64_t kGsmBlock = 65, kGsmSamples = 320;  // GSM 6.10: 320 samples in 65 bytes

// One fewer frame is exact where the data size counts a pad byte; with
// frames of one byte, any even size may. `blocks`: each frame is a packet
// of samples (AIFF-C's ima4), counted as blocks are.
CountRule Frames(std::uint64_t align, std::uint64_t data, bool blocks) {
  const std::uint64_t frames = data / align;
  const bool pad = CountsPadByte(data, align) || (align == 1 && data > 0 && data % 2 == 0);
  const std::uint64_t least = pad ? (data - 1) / align : frames;
  return {.most = frames, .whole = data >= align, .want = frames, .least = least, .blocks = blocks};
}

// A block's last samples may be padding, so a count anywhere up to the blocks
// the data reaches into is right. A pad byte that the data size counts (an
// even size one more than whole odd-sized blocks, as sox writes GSM) is no
// block of its own.
CountRule Blocks(std::uint64_t align, std::uint64_t perBlock, std::uint64_t data) {
  if (CountsPadByte(data, align)) {
    data -= 1;
  }
  const std::uint64_t whole = data / align;
  const std::uint64_t reached = whole + (data % align != 0 ? 1 : 0);
  return {.most = reached * perBlock,
          .whole = whole != 0,
          .want = whole * perBlock,
          .least = reached != 0 ? (reached - 1) * perBlock + 1 : 1,
          .blocks = true};
}

// How a format counts its samples.
enum class Kind { Frames, Blocks, None };

Kind KindOf(const Layout& layout) {
  switch (layout.format) {
    case kPcm:
    case kFloat:
    case kAlaw:
    case kMulaw:
    case kExtensible << 16U | kPcm:
    case kExtensible << 16U | kFloat:
    case kExtensible << 16U | kAlaw:
    case kExtensible << 16U | kMulaw:
      return layout.blockAlign != 0 ? Kind::Frames : Kind::None;
    case kAdpcm:
    case kImaAdpcm:
      return layout.blockAlign != 0 && layout.perBlock != 0 ? Kind::Blocks : Kind::None;
    case kGsm:
      return Kind::Blocks;
    default:
      return Kind::None;
  }
}

// A block's bytes and samples: GSM 6.10's where the fmt chunk leaves them out.
std::uint64_t BlockBytes(const Layout& layout) {
  return layout.blockAlign != 0 || layout.format != kGsm ? layout.blockAlign : kGsmBlock;
}
std::uint64_t PerBlock(const Layout& layout) {
  return layout.perBlock != 0 || layout.format != kGsm ? layout.perBlock : kGsmSamples;
}

}  // namespace

std::optional<CountRule> CountRuleFor(const Layout& layout, std::uint64_t data) {
  switch (KindOf(layout)) {
    case Kind::Frames:
      return Frames(layout.blockAlign, data, layout.perCount > 1);
    case Kind::Blocks:
      return Blocks(BlockBytes(layout), PerBlock(layout), data);
    case Kind::None:
      break;
  }
  return std::nullopt;
}

std::uint64_t FrameBytes(const Layout& layout) {
  return KindOf(layout) != Kind::None ? BlockBytes(layout) : 0;
}

std::optional<std::uint64_t> CountBytes(const Layout& layout, std::uint64_t count,
                                        std::uint64_t most) {
  const Kind kind = KindOf(layout);
  const std::uint64_t unit = BlockBytes(layout);
  if (kind == Kind::None) {
    return std::nullopt;
  }
  const std::uint64_t per = kind == Kind::Frames ? 1 : PerBlock(layout);
  const std::uint64_t units = count / per + (count % per != 0 ? 1 : 0);
  return units <= most / unit ? std::optional(units * unit) : std::nullopt;
}

std::uint64_t ChooseCount(const CountRule& rule, bool exact,
                          std::initializer_list<std::optional<std::uint64_t>> now) {
  const auto* const right = std::ranges::find_if(
      now, [&](const auto& count) { return count && rule.Right(*count, exact); });
  return right != now.end() ? **right : rule.want;
}

std::uint64_t FactFor(std::uint64_t count) { return std::min(count, kMax32); }

}  // namespace zavevuv
