// SPDX-License-Identifier: MIT
// Messages go to standard output only, each written the moment it is known.
#pragma once

#include <string>
#include <string_view>

namespace zavevuv {

// Puts `arg` in place of the first "%s" or "%i" in `format`.
std::string Format(std::string_view format, std::string_view arg);

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
