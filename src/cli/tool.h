// SPDX-License-Identifier: MIT
// What zavevuv_32uvo's driver calls: the repair of one file with its
// message, the list reader and list mode, and the usage text.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "outcome.h"

namespace zavevuv {

// zavevuv_repair on one file, its outcome as the messages know it; prints
// nothing.
Outcome RepairFile(const std::string& path);

// RepairFile, then its message on standard output.
void FIX_SIZE(const std::string& path);

// At most this many names are taken from a list file.
inline constexpr std::size_t kMaxNames = 512;

enum class ListStatus { Read, CannotOpen, CannotRead };

struct FileList {
  ListStatus status = ListStatus::Read;
  std::vector<std::string> names;  // in list order, each held whole
  bool more = false;               // the list names more than were taken
};

// Reads a list of names separated by line feeds, or by NUL bytes where it
// holds one, as a stream: at most `most` names are kept. One carriage return
// ending a line is dropped, and empty lines give no name. An empty name
// between NUL bytes, a WAVE file or a device that acts on being opened
// cannot be read as a list.
FileList ReadList(const char* path, std::size_t most = kMaxNames);

// The two things the driver does besides a single repair.
void PrintUsage();
int RunList(const char* listPath, const std::string& prefix);

}  // namespace zavevuv
