// SPDX-License-Identifier: MIT
// Messages go to standard output only, each written the moment it is known.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace zavevuv {

// `format` with each "%s" or "%i" in it replaced by the next of `args`, in
// order; what an argument holds (a path with "%s" in it) is never looked at.
std::string Format(std::string_view format, std::initializer_list<std::string_view> args);

// Writes `text` to standard output at once, unbuffered. A message that cannot
// be written is remembered, and the run goes on.
void Say(std::string_view text);

// Whether any message could not be written (standard output full or closed).
bool OutputLost();

// Opens /dev/null on standard input, output or error where one is closed, so
// that no file this run opens takes their place; standard output so opened
// refuses writes, and a lost message is known.
void GuardStandardDescriptors();

}  // namespace zavevuv
