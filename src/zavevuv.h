// SPDX-License-Identifier: MIT
// The repair of a WAV file's size fields, the size-field codec and the list
// reader: everything the command-line driver calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zavevuv {

// A chunk size field holds an unsigned 32-bit count, least significant byte
// first. Assem4 reads it as a count from 0 to 4,294,967,295; Decon4 stores a
// count, keeping its low 32 bits.
std::int64_t Assem4(std::span<const unsigned char, 4> fourbytes);
void Decon4(std::int64_t value, std::span<unsigned char, 4> fourbytes);

// The same for the 64-bit fields of an RF64 or BW64 file's ds64 chunk.
std::uint64_t Assem8(std::span<const unsigned char, 8> eightbytes);
void Decon8(std::uint64_t value, std::span<unsigned char, 8> eightbytes);

// What happened to one file. Each outcome has exactly one message line.
enum class Outcome {
  CannotOpen,   // not a regular file we may read and write
  ReadFailed,   // an I/O error while reading the header
  NoTag,        // not a WAVE file, no data chunk reached, or cut before the audio
  Truncated,    // the file ends inside the data chunk's size field
  Correct,      // every size field is right
  TooLarge,     // past 4 GiB, no room for RF64, and none could be made
  ToEnd,        // past 4 GiB: the 32-bit sizes now say "to the end of the file"
  Fixed,        // size fields rewritten (or RF64 made) and synced
  WriteFailed,  // a write, the sync or the close after them failed
};

// Checks one file and patches its size fields when they are wrong; prints
// nothing.
Outcome RepairFile(const std::string& path);

// The line reported for an outcome, ending in a line feed.
std::string Message(Outcome outcome, std::string_view path);

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

// Reads a list of names separated by line feeds, as a stream: at most `most`
// names are kept. One carriage return ending a line is dropped, and empty
// lines give no name. A NUL byte, a line over 4,095 bytes, a WAVE file or a
// device that acts on being opened cannot be read as a list.
FileList ReadList(const char* path, std::size_t most = kMaxNames);

// The two things the driver does besides a single repair.
void PrintUsage();
int RunList(const char* listPath, const std::string& prefix);

}  // namespace zavevuv
