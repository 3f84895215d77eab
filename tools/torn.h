// SPDX-License-Identifier: MIT
// What a write cut off part-way leaves, and whether the next run finishes the
// job: for the plan test (every state) and the fuzzer (one state per input).
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "memfile.h"
#include "writes.h"

namespace torn {

// The file with the plan's fields chosen by `mask` in place (bit i % 32 for
// field i), as writes that reached the disk in any order leave it.
inline MemFile WithFields(const MemFile& file, const zavevuv::Plan& plan, unsigned mask) {
  MemFile torn = file;
  for (std::size_t i = 0; i < plan.writes.size(); ++i) {
    if ((mask >> (i % 32) & 1U) != 0) {
      torn.Apply({plan.writes[i]});
    }
  }
  return torn;
}

// The bytes the plan writes in all, a head block included.
inline std::size_t Written(const MemFile& file, const zavevuv::Plan& plan) {
  std::size_t bytes = 0;
  for (const auto& patch : zavevuv::Writes(file.Bytes(), plan)) {
    bytes += patch.bytes.size();
  }
  return bytes;
}

// The file with the plan's writes stopped after `bytes` bytes.
inline MemFile CutAfter(const MemFile& file, const zavevuv::Plan& plan, std::size_t bytes) {
  MemFile torn = file;
  torn.Apply(plan, bytes);
  return torn;
}

// Whether a cut after `bytes` stops inside a size field, leaving a count that
// no writer wrote. Such a count may name a layout of its own (where the audio
// holds chunk-like bytes), or be a plausible sample count; cuts at the
// fields' edges, in the ids and in a head block may not.
inline bool InsideField(const MemFile& file, const zavevuv::Plan& plan, std::size_t bytes) {
  std::size_t end = 0;  // the offset after the last byte written
  for (const auto& patch : zavevuv::Writes(file.Bytes(), plan)) {
    end = bytes > 0 ? patch.at + std::min(bytes, patch.bytes.size()) : end;
    bytes -= std::min(bytes, patch.bytes.size());
  }
  return std::ranges::any_of(plan.writes, [&](const auto& write) {
    return write.at != 0 && write.at != 12 && write.at < end && end < write.at + write.width;
  });
}

// Whether the next run makes `want` of the torn file, and a run after that
// writes nothing.
inline bool Completes(MemFile torn, const std::string& want) {
  torn.Apply(torn.Decide());
  const zavevuv::Plan after = torn.Decide();
  return torn.bytes == want && after.writes.empty() && after.insert != zavevuv::Insert::Finish;
}

// Every torn state of a plan of up to 10 fields: each subset of the fields,
// and the writes cut after each byte up to 128, then every 61st, but inside a
// size field (a count written in part may be taken as it stands).
inline std::vector<MemFile> Every(const MemFile& file, const zavevuv::Plan& plan) {
  std::vector<MemFile> states;
  for (unsigned mask = 0; mask < 1U << plan.writes.size(); ++mask) {
    states.push_back(WithFields(file, plan, mask));
  }
  const std::size_t bytes = Written(file, plan);
  for (std::size_t cut = 1; cut < bytes; cut += cut < 128 ? 1 : 61) {
    if (!InsideField(file, plan, cut)) {
      states.push_back(CutAfter(file, plan, cut));
    }
  }
  return states;
}

}  // namespace torn
