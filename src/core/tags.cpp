// SPDX-License-Identifier: MIT
#include "tags.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "codec.h"

namespace zavevuv {
namespace {

constexpr int kMaxTags = 8;               // tags stacked at the end of the file
constexpr std::uint64_t kId3v1 = 128;     // "TAG" and 125 bytes of fields
constexpr std::uint64_t kEnhanced = 227;  // "TAG+" and 223 bytes of fields, before ID3v1
constexpr std::uint64_t kApe = 32;        // an APEv2 header or footer
constexpr std::uint64_t kId3v2 = 10;      // an ID3v2 header or footer

// An ID3v2 size: four bytes of seven bits each; nothing when a byte has its
// eighth bit set.
std::optional<std::uint64_t> Syncsafe(std::span<const unsigned char, 4> bytes) {
  std::uint64_t size = 0;
  for (const unsigned char b : bytes) {
    if (b >= 0x80) {
      return std::nullopt;
    }
    size = size << 7U | b;
  }
  return size;
}

bool Starts(std::span<const unsigned char> bytes, std::string_view text) {
  return std::ranges::equal(bytes.first(text.size()), text);
}

// An APEv2 tag ending at `end`: its 32-byte footer last, its header (when the
// footer's flags say there is one) first.
std::optional<std::uint64_t> ApeStart(FileBytes& file, std::uint64_t end, std::uint64_t room) {
  std::array<unsigned char, kApe> ape{};  // "APETAGEX", version, size, items, flags, reserved
  if (room < ape.size() || !file.Read(end - ape.size(), ape) || !Starts(ape, "APETAGEX")) {
    return std::nullopt;
  }
  const auto size = static_cast<std::uint64_t>(Assem4(std::span(ape).subspan<12, 4>()));
  const bool header = (Assem4(std::span(ape).subspan<20, 4>()) >> 31U) != 0;
  const std::uint64_t whole = size + (header ? ape.size() : 0);  // size: items and footer
  if (size < ape.size() || whole > room) {
    return std::nullopt;
  }
  std::array<unsigned char, 8> start{};
  if (header && !(file.Read(end - whole, start) && Starts(start, "APETAGEX"))) {
    return std::nullopt;
  }
  return end - whole;
}

// An ID3v2 tag with a footer ending at `end`: "3DI" and a copy of the header.
std::optional<std::uint64_t> Id3v2Start(FileBytes& file, std::uint64_t end, std::uint64_t room) {
  std::array<unsigned char, kId3v2> id3{};  // "3DI" or "ID3", version, flags, syncsafe size
  if (room < 2 * id3.size() || !file.Read(end - id3.size(), id3) || !Starts(id3, "3DI")) {
    return std::nullopt;
  }
  const std::optional<std::uint64_t> size = Syncsafe(std::span(id3).last<4>());
  if (!size) {
    return std::nullopt;
  }
  const std::uint64_t whole = *size + 2 * id3.size();
  std::array<unsigned char, kId3v2> start{};
  if (whole <= room && file.Read(end - whole, start) && Starts(start, "ID3") &&
      std::ranges::equal(std::span(start).subspan<3, 7>(), std::span(id3).subspan<3, 7>())) {
    return end - whole;
  }
  return std::nullopt;
}

// An ID3v1 tag, the last 128 bytes, with an Enhanced TAG+ block perhaps
// before it.
std::optional<std::uint64_t> Id3v1Start(FileBytes& file, std::uint64_t end, std::uint64_t room) {
  std::array<unsigned char, 4> tag{};
  if (room < kId3v1 || !file.Read(end - kId3v1, std::span(tag).first<3>()) || !Starts(tag, "TAG")) {
    return std::nullopt;
  }
  const std::uint64_t start = end - kId3v1;
  if (room - kId3v1 >= kEnhanced && file.Read(start - kEnhanced, tag) && Starts(tag, "TAG+")) {
    return start - kEnhanced;
  }
  return start;
}

// Where the tag that ends at `end` begins, if one does.
std::optional<std::uint64_t> TagStart(FileBytes& file, std::uint64_t end, std::uint64_t floor) {
  const std::uint64_t room = end - floor;
  if (auto start = ApeStart(file, end, room)) {
    return start;
  }
  if (auto start = Id3v2Start(file, end, room)) {
    return start;
  }
  return Id3v1Start(file, end, room);
}

}  // namespace

bool CutTagAt(FileBytes& file, std::uint64_t at) {
  const std::uint64_t left = file.Length() - at;
  std::array<unsigned char, kApe> start{};
  const auto got = std::span(start).first(static_cast<std::size_t>(std::min(left, kApe)));
  if (left < 3 || !file.Read(at, got)) {
    return false;
  }
  if (Starts(got, "TAG")) {
    return left < (left >= 4 && start[3] == '+' ? kEnhanced + kId3v1 : kId3v1);
  }
  if (left >= 8 && Starts(got, "APETAGEX")) {
    // At its header: the size counts the items and the footer.
    return left < kApe ||
           left < static_cast<std::uint64_t>(Assem4(std::span(start).subspan<12, 4>())) + kApe;
  }
  // "ID3 " is a chunk's id; a tag's fourth byte is its version, 2 to 4.
  if (Starts(got, "ID3") && (left < 4 || (start[3] >= 2 && start[3] <= 4))) {
    if (left < kId3v2) {
      return true;
    }
    const std::optional<std::uint64_t> size = Syncsafe(std::span(start).subspan<6, 4>());
    const std::uint64_t footer = (start[5] & 0x10U) != 0 ? kId3v2 : 0;
    return size && left < kId3v2 + *size + footer;
  }
  return false;
}

std::vector<std::uint64_t> FormEnds(FileBytes& file, std::uint64_t floor) {
  std::vector<std::uint64_t> ends{file.Length()};
  while (ends.size() <= kMaxTags) {
    const auto start = TagStart(file, ends.back(), floor);
    if (!start) {
      break;
    }
    ends.push_back(*start);
  }
  return ends;
}

}  // namespace zavevuv
