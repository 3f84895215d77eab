// SPDX-License-Identifier: MIT
// Builds a plan field by field: a field is written only where its bytes differ
// from what it should hold.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

#include "plan.h"

namespace zavevuv {

// A plan that writes nothing.
Plan Only(Outcome outcome);

class Changes {
 public:
  // The field at `at`, now `now`, is to hold `want`.
  void Want(std::uint64_t at, std::span<const unsigned char> now,
            std::span<const unsigned char> want);
  // A size field (4 or 8 bytes) that may hold any of `good`; when it holds
  // none, `good`'s first is written.
  void Size(std::uint64_t at, std::span<const unsigned char> now,
            std::initializer_list<std::optional<std::uint64_t>> good);
  // Fixed with the fields to write, in the order of their offsets; Correct
  // when there are none.
  [[nodiscard]] Plan Done() &&;

 private:
  std::vector<FieldWrite> writes_;
};

}  // namespace zavevuv
