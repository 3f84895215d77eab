// SPDX-License-Identifier: MIT
#include "words.h"

#include "classic.h"
#include "lines.h"

namespace zavevuv::cli {

const DialectWords& WordsOf(Dialect dialect) {
  static constexpr DialectWords kClassic{ClassicFile, ClassicEvent, 1};
  static constexpr DialectWords kGnu{GnuFile, GnuEvent, 2};
  return dialect == Dialect::Classic ? kClassic : kGnu;
}

}  // namespace zavevuv::cli
