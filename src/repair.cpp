// SPDX-License-Identifier: MIT
// Checks and repairs one file: the I/O around the decision. The file is
// opened only when it is a regular file we may write, read-only at first:
// its first bytes are read with one pread, and only when the plan changes
// something is it opened for writing, written and synced.
#include <algorithm>
#include <array>

#include "fd.h"
#include "output.h"
#include "plan.h"
#include "zavevuv.h"

namespace zavevuv {

Outcome RepairFile(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    return Outcome::CannotOpen;  // no file has such a name; a cut one is another file
  }
  const std::optional<RegularFile> file = OpenRegular(path.c_str());
  if (!file) {
    return Outcome::CannotOpen;
  }
  const int fd = file->fd.get();
  const auto length = static_cast<std::uint64_t>(file->st.st_size);
  // On the stack: a heap buffer this large would cost an mmap and a munmap.
  std::array<unsigned char, kHeadBytes> buffer;
  const auto got = ReadAt(
      fd, std::span(buffer).first(static_cast<std::size_t>(std::min(length, kHeadBytes))), 0);
  if (!got) {
    return Outcome::ReadFailed;
  }
  const auto head = std::span(buffer).first(*got);  // shorter if the file shrank meanwhile
  const Plan plan = Decide(head, length, [fd](std::uint64_t offset, std::span<unsigned char> out) {
    const auto n = ReadAt(fd, out, static_cast<std::int64_t>(offset));
    return n && *n == out.size();
  });
  if (plan.outcome != Outcome::Fixed) {
    return plan.outcome;  // only read: closing quietly loses nothing
  }
  Fd out = OpenForWriting(*file, path.c_str());
  if (!out) {
    return Outcome::CannotOpen;  // an append-only file, say: nothing was written
  }
  for (const Patch& patch : Coalesce(head, plan.writes)) {
    if (!WriteAt(out.get(), patch.bytes, static_cast<std::int64_t>(patch.at))) {
      return Outcome::WriteFailed;
    }
  }
  // A write the kernel accepted can still be lost when the page cache is
  // flushed (a full or failing disk); only the sync reports that.
  return SyncData(out.get()) && out.Close() ? Outcome::Fixed : Outcome::WriteFailed;
}

std::string Message(Outcome outcome, std::string_view path) {
  switch (outcome) {
    case Outcome::CannotOpen:
      return Format("File called %s cannot be found.\n", path);
    case Outcome::ReadFailed:
      return Format("Unable to read header in %s.\n", path);
    case Outcome::NoTag:
      return "Cannot find data block in wave file!\n";
    case Outcome::Truncated:
      return Format("The header in %s is truncated.\n", path);
    case Outcome::Correct:
      return Format("The header in %s appears to be correct.\n", path);
    case Outcome::TooLarge:
      return Format("Data block in %s is too large for a wave file header.\n", path);
    case Outcome::Fixed:
      return Format("Header was fixed successfully in %s.\n", path);
    case Outcome::WriteFailed:
      return Format("Unable to write data to header in %s.\n", path);
  }
  return {};
}

void FIX_SIZE(const std::string& path) { Say(Message(RepairFile(path), path)); }

}  // namespace zavevuv
