// SPDX-License-Identifier: MIT
// Text made of bytes: a format filled in, a name escaped for a line or for
// JSON, a count grouped in thousands. Nothing here writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace zavevuv::cli {

// `format` with each "%s" or "%i" in it replaced by the next of `args`, in
// order; what an argument holds (a path with "%s" in it) is never looked at.
std::string Format(std::string_view format, std::initializer_list<std::string_view> args);

// A name as a line may show it: the C0 controls, DEL and the C1 controls
// (U+0080 to U+009F, and a byte 0x80 to 0x9F that is no part of a UTF-8
// character) escaped as `ls -b` does, "\n" and "\t" or octal after a
// backslash, so that no name can pass for a line of its own or reach the
// terminal as a control sequence; with `backslash`, a backslash is doubled
// so the escapes can be told from the name. Everything else as it is.
std::string Escaped(std::string_view name, bool backslash);

// A JSON string of `s`: UTF-8 as it is, each byte that is not valid UTF-8 as
// the lone surrogate \udc80 to \udcff (as Python's "surrogateescape" reads
// it), and the controls as \u00XX.
std::string Quoted(std::string_view s);

// "1,234,560".
std::string Grouped(std::uint64_t n);

// Whether a path's last name ends as audio files' do: .wav, .bwf, .rf64,
// .w64, .aif, .aiff or .aifc, in any case.
bool NamedAsAudio(std::string_view path);

}  // namespace zavevuv::cli
