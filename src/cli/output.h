// SPDX-License-Identifier: MIT
// Messages go to standard output only, each written the moment it is known.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace zavevuv {

// `format` with each "%s" or "%i" in it replaced by the next of `args`, in
// order; what an argument holds (a path with "%s" in it) is never looked at.
std::string Format(std::string_view format, std::initializer_list<std::string_view> args);

// The length of the valid UTF-8 sequence at s[i], or 0: no overlong forms,
// no surrogates, nothing past U+10FFFF.
std::size_t Utf8At(std::string_view s, std::size_t i);

// Whether the UTF-8 character of `n` bytes at s[i] is a C1 control, U+0080
// to U+009F, which a terminal may take for a control sequence.
inline bool C1At(std::string_view s, std::size_t i, std::size_t n) {
  return n == 2 && static_cast<unsigned char>(s[i]) == 0xC2 &&
         static_cast<unsigned char>(s[i + 1]) < 0xA0;
}

// A name as a line may show it: the C0 controls, DEL and the C1 controls
// (U+0080 to U+009F, and a byte 0x80 to 0x9F that is no part of a UTF-8
// character) escaped as `ls -b` does, "\n" and "\t" or octal after a
// backslash, so that no name can pass for a line of its own or reach the
// terminal as a control sequence; with `backslash`, a backslash is doubled
// so the escapes can be told from the name. Everything else as it is.
std::string Escaped(std::string_view name, bool backslash);

// Writes `text` to standard output at once, unbuffered. A message that cannot
// be written is remembered, and the run goes on.
void PrintOut(std::string_view text);

// Whether any message could not be written (standard output full or closed).
bool OutputLost();

// Whether standard output is a pipe whose reader is gone (EPIPE).
bool OutputClosed();

// Opens /dev/null on standard input, output or error where one is closed, so
// that no file this run opens takes their place; standard output so opened
// refuses writes, and a lost message is known.
void GuardStandardDescriptors();

}  // namespace zavevuv
