// The repair of a WAV file's data-chunk size, the size-field codec and the
// list reader: everything the command-line driver calls.
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

// What happened to one file. Each outcome has exactly one message line.
enum class Outcome {
  CannotOpen,   // not a regular file we may read and write
  ReadFailed,   // an I/O error while reading the header
  NoTag,        // no "data" tag at an even offset in the first 128 KiB
  Truncated,    // the file ends inside the size field
  Correct,      // stored size matches the data, or valid chunks follow it
  TooLarge,     // 4 GiB or more of data: no 32-bit field can hold it
  Fixed,        // size field rewritten and the file closed cleanly
  WriteFailed,  // the rewrite or the close that follows it failed
};

// Checks one file and patches its size field when it is wrong; prints nothing.
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
};

// Reads a list of names separated by line feeds; empty lines give no name.
FileList ReadList(const char* path, std::size_t most = kMaxNames);

// The two things the driver does besides a single repair.
void PrintUsage();
int RunList(const char* listPath, const std::string& prefix);

}  // namespace zavevuv
