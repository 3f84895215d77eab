// SPDX-License-Identifier: MIT
// Every line the program writes, in one place.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "outcome.h"

namespace zavevuv {

// The line reported for a file's outcome, ending in a line feed. Here and in
// the list's lines, a name's control bytes are escaped (see Escaped).
std::string Message(Outcome outcome, std::string_view name);

// The usage text, with the version.
std::string Usage();

// List mode's own lines.
std::string ListCount(std::size_t names);
std::string ListMissing(std::string_view list);
std::string ListUnreadable(std::string_view list);
std::string ListTooLong(std::string_view list);

}  // namespace zavevuv
