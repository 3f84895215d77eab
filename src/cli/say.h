// SPDX-License-Identifier: MIT
// Lines go to standard output or standard error, each written the moment it
// is known.
#pragma once

#include <string_view>

namespace zavevuv::cli {

enum class Stream { Out, Err };

// Writes `text` at once, unbuffered. A line that cannot be written to
// standard output is remembered, and the run goes on.
void Say(Stream stream, std::string_view text);

// Whether any line could not be written to standard output (full, closed).
bool OutputLost();

// Whether standard output is a pipe whose reader is gone (EPIPE).
bool OutputClosed();

// Opens /dev/null on standard input, output or error where one is closed, so
// that no file this run opens takes their place; standard output so opened
// refuses writes, and a lost line is known.
void GuardStandardDescriptors();

}  // namespace zavevuv::cli
