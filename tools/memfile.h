// A file held in memory, for checking plans without I/O: the tests and the
// fuzzer decide on it and apply what was decided.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "plan.h"

// A file of `length` bytes whose first bytes.size() bytes are `bytes`; the
// rest reads as zeros, as in a sparse file.
struct MemFile {
  std::string bytes;
  std::uint64_t length = bytes.size();

  [[nodiscard]] unsigned char At(std::uint64_t at) const {
    return at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0;
  }
  [[nodiscard]] zavevuv::Plan Decide() const {
    std::vector<unsigned char> head(std::min(length, zavevuv::kHeadBytes));
    for (std::size_t i = 0; i < head.size(); ++i) {
      head[i] = At(i);
    }
    return zavevuv::Decide(head, length, [&](std::uint64_t at, std::span<unsigned char> out) {
      for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = At(at + i);
      }
      return true;
    });
  }
  // The writes always lie within the header, so within `bytes`.
  void Apply(const std::vector<zavevuv::FieldWrite>& writes) {
    const auto patch = zavevuv::Coalesce(
        std::span(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), writes);
    std::copy(patch.bytes.begin(), patch.bytes.end(), bytes.begin() + static_cast<long>(patch.at));
  }
};
