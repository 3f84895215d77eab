// SPDX-License-Identifier: MIT
// A file held in memory, for checking plans without I/O: the tests and the
// fuzzer decide on it and apply what was decided.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rebuild.h"
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
  // What `decide` makes of the file's head and the rest, read on request.
  template <typename Decision>
  [[nodiscard]] auto With(Decision decide) const {
    std::vector<unsigned char> head(std::min(length, zavevuv::kHeadBytes));
    Copy(0, head);
    return decide(head, length, [&](std::uint64_t at, std::span<unsigned char> out) {
      ++reads;
      Copy(at, out);
      return at + out.size() <= failFrom;
    });
  }
  [[nodiscard]] zavevuv::Plan Decide() const {
    return With([](auto head, auto n, const zavevuv::ReadMore& more) {
      return zavevuv::Decide(head, n, more);
    });
  }
  [[nodiscard]] std::optional<zavevuv::Take> Take() const {
    return With([](auto head, auto n, const zavevuv::ReadMore& more) {
      return zavevuv::ReadTake(head, n, more);
    });
  }
  [[nodiscard]] zavevuv::Plan Rebuild(const std::optional<zavevuv::Take>& like,
                                      std::optional<zavevuv::RebuildInsert> made = {}) const {
    return With([&](auto head, auto n, const zavevuv::ReadMore& more) {
      return zavevuv::PlanRebuild(head, n, more, like, made);
    });
  }
  // A block of `b` zero bytes inserted at the start, as FALLOC_FL_INSERT_RANGE.
  void Insert(std::uint64_t b) {
    bytes.insert(0, b, '\0');
    length += b;
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
