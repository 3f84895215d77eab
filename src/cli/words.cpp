// SPDX-License-Identifier: MIT
#include "words.h"

#include "classic.h"
#include "lines.h"

namespace zavevuv::cli {

const OutcomeWords& WordsOf(int outcome) {
  const bool known = outcome >= 0 && outcome < static_cast<int>(kOutcomeWords.size());
  return kOutcomeWords[static_cast<std::size_t>(known ? outcome : ZAVEVUV_READ_FAILED)];
}

const DialectWords& WordsOf(Dialect dialect) {
  static constexpr DialectWords kClassic{ClassicFile, ClassicEvent, 1};
  static constexpr DialectWords kGnu{GnuFile, GnuEvent, 2};
  return dialect == Dialect::Classic ? kClassic : kGnu;
}

}  // namespace zavevuv::cli
