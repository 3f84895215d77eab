// SPDX-License-Identifier: MIT
// zavevuv_32uvo's words: one line on standard output for each file and each
// event of its list, whatever happened, and its usage text.
#pragma once

#include <cstddef>
#include <string>

#include "words.h"

namespace zavevuv::cli {

Shown ClassicFile(const std::string& path, const zavevuv_report& r, const Options& options,
                  bool named);
Shown ClassicEvent(Event event, const std::string& path, int error, std::size_t count,
                   const Options& options);

}  // namespace zavevuv::cli
