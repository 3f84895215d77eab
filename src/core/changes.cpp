// SPDX-License-Identifier: MIT
#include "changes.h"

#include <algorithm>

#include "codec.h"

namespace zavevuv {

Plan Only(Outcome outcome) {
  Plan plan;
  plan.outcome = outcome;
  return plan;
}

void Changes::Want(std::uint64_t at, std::span<const unsigned char> now,
                   std::span<const unsigned char> want) {
  if (!std::ranges::equal(now, want)) {
    FieldWrite write{at, {}, want.size()};
    std::ranges::copy(want, write.bytes.begin());
    writes_.push_back(write);
  }
}

void Changes::Size(std::uint64_t at, std::span<const unsigned char> now,
                   std::initializer_list<std::optional<std::uint64_t>> good) {
  const std::uint64_t value =
      now.size() == 8 ? Assem8(now.first<8>()) : static_cast<std::uint64_t>(Assem4(now.first<4>()));
  if (std::ranges::none_of(good, [&](const auto& g) { return g && *g == value; })) {
    const std::uint64_t want = **good.begin();
    if (now.size() == 8) {
      Want(at, now, Decon8(want));
    } else {
      Want(at, now, Decon4(want));
    }
  }
}

Plan Changes::Done() && {
  if (writes_.empty()) {
    return Only(Outcome::Correct);
  }
  std::ranges::sort(writes_, {}, &FieldWrite::at);
  Plan plan = Only(Outcome::Fixed);
  plan.writes = std::move(writes_);
  return plan;
}

}  // namespace zavevuv
