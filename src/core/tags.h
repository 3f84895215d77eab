// SPDX-License-Identifier: MIT
// Tags that taggers append after the RIFF form: ID3v1 (with an Enhanced
// TAG+ block perhaps before it), APEv2 and ID3v2 with a footer. A tag is
// never audio, and the RIFF form ends where the first of them begins.
#pragma once

#include <cstdint>
#include <vector>

#include "file_bytes.h"

namespace zavevuv {

// Where the RIFF form may end: the file's length, and where each of the tags
// stacked at its end begins, last tag first. None begins before `floor`.
std::vector<std::uint64_t> FormEnds(FileBytes& file, std::uint64_t floor);

// Whether the bytes from `at` to the end of the file begin like an appended
// tag ("TAG", "APETAGEX", "ID3" and a version) but are shorter than that tag:
// a copy cut inside its tag.
bool CutTagAt(FileBytes& file, std::uint64_t at);

}  // namespace zavevuv
