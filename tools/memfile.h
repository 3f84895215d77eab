// SPDX-License-Identifier: MIT
// A file held in memory, for checking plans without I/O: the tests and the
// fuzzer decide on it and apply what was decided.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "writes.h"

// A file of `length` bytes whose first bytes.size() bytes are `bytes`, with
// the runs of `far` at their offsets further on; the rest reads as zeros, as
// in a sparse file. Reads past the head from `failFrom` on fail, as an I/O
// error would.
struct MemFile {
  std::string bytes;
  std::uint64_t length = bytes.size();
  std::map<std::uint64_t, std::string> far{};
  std::uint64_t failFrom = std::numeric_limits<std::uint64_t>::max();

  [[nodiscard]] unsigned char At(std::uint64_t at) const {
    if (at < bytes.size()) {
      return static_cast<unsigned char>(bytes[at]);
    }
    const auto run = far.upper_bound(at);
    if (run != far.begin() && at - std::prev(run)->first < std::prev(run)->second.size()) {
      return static_cast<unsigned char>(std::prev(run)->second[at - std::prev(run)->first]);
    }
    return 0;
  }
  // Reads past the head the decisions asked for.
  mutable int reads = 0;
  void Copy(std::uint64_t at, std::span<unsigned char> out) const {
    std::size_t i = 0;
    for (; at + i < bytes.size() && i < out.size(); ++i) {
      out[i] = static_cast<unsigned char>(bytes[at + i]);
    }
    for (; i < out.size(); ++i) {
      out[i] = At(at + i);
    }
  }
  [[nodiscard]] std::span<const unsigned char> Bytes() const {
    return {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()};
  }
  [[nodiscard]] zavevuv::Plan Decide() const {
    std::vector<unsigned char> head(std::min(length, zavevuv::kHeadBytes));
    Copy(0, head);
    return zavevuv::Decide(head, length, [&](std::uint64_t at, std::span<unsigned char> out) {
      ++reads;
      Copy(at, out);
      return at + out.size() <= failFrom;
    });
  }
  // The writes always lie within `bytes`. `limit` bytes at most go out, in
  // the order the writes are made, as a write cut off part-way leaves them.
  void Apply(const std::vector<zavevuv::FieldWrite>& writes,
             std::size_t limit = std::numeric_limits<std::size_t>::max()) {
    Apply(zavevuv::Coalesce(Bytes(), writes), limit);
  }
  void Apply(const zavevuv::Plan& plan,
             std::size_t limit = std::numeric_limits<std::size_t>::max()) {
    Apply(zavevuv::Writes(Bytes(), plan), limit);
  }
  void Apply(const std::vector<zavevuv::Patch>& patches, std::size_t limit) {
    for (const zavevuv::Patch& patch : patches) {
      const std::size_t n = std::min(limit, patch.bytes.size());
      std::copy_n(patch.bytes.begin(), n, bytes.begin() + static_cast<long>(patch.at));
      limit -= n;
    }
  }
};
