// Messages go to standard output only, each written the moment it is known.
#pragma once

#include <string>
#include <string_view>

namespace zavevuv {

// Puts `arg` in place of the first "%s" or "%i" in `format`.
std::string Format(std::string_view format, std::string_view arg);

// Writes `text` to standard output at once, unbuffered.
void Say(std::string_view text);

}  // namespace zavevuv
