// SPDX-License-Identifier: MIT
// Checks and repairs one file: the I/O around the decision. The file is
// opened only when it is a regular file we may write, read-only at first:
// its first bytes are read with one pread, and only when the plan changes
// something is it opened for writing, written and synced.
#include <algorithm>
#include <array>

#include "fd.h"
#include "insert.h"
#include "output.h"
#include "plan.h"
#include "zavevuv.h"

namespace zavevuv {

namespace {

// One look at the file, and what it needs done. `again`: an insert's cut-off
// shift was taken back, and the file is to be looked at anew.
Outcome RepairOnce(const std::string& path, bool& again) {
  again = false;
  std::optional<RegularFile> file = OpenRegular(path.c_str());
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
  // Only a file past 4 GiB, or with a leading zero block, may carry the
  // intent of an insert that was cut off.
  const std::optional<Intent> intent = plan.mayHaveIntent ? ReadIntent(fd) : std::nullopt;
  if (intent && plan.upgrade && plan.lead == 0) {
    // The old header at 0 and the intent: the shift may have been cut off.
    switch (TakeBackShift(*file, path.c_str(), *intent)) {
      case Shift::TakenBack:
        again = true;
        return Outcome::TooLarge;  // for now: the file is looked at anew
      case Shift::Left:
        return Outcome::TooLarge;  // never inserted into twice
      case Shift::NeverMade:
        break;
    }
  } else if (intent && plan.lead == 0) {
    RemoveIntent(fd);  // an RF64 file: the insert was finished
  }
  if (plan.outcome != Outcome::Fixed && !plan.upgrade) {
    return plan.outcome;  // only read: closing quietly loses nothing
  }
  Fd out = OpenForWriting(*file, path.c_str());
  if (!out) {
    // An append-only file, say: nothing was written.
    return plan.writes.empty() && plan.lead == 0 ? plan.outcome : Outcome::CannotOpen;
  }
  const std::vector<Patch> patches = Writes(head, plan);
  for (const Patch& patch : patches) {
    if (!WriteAt(out.get(), patch.bytes, static_cast<std::int64_t>(patch.at))) {
      return Outcome::WriteFailed;
    }
  }
  // A write the kernel accepted can still be lost when the page cache is
  // flushed (a full or failing disk); only the sync reports that.
  if (!patches.empty() && !SyncData(out.get())) {
    return Outcome::WriteFailed;
  }
  if (intent && plan.lead != 0) {
    RemoveIntent(out.get());
  }
  Outcome outcome = plan.outcome;
  if (plan.upgrade && plan.lead == 0) {
    // The sizes say "to the end of the file" now; room for ds64 makes it RF64.
    static_cast<void>(file->fd.Close());  // only read: the lease wants one descriptor
    switch (MakeRoom(out, *plan.upgrade, length, file->st.st_blksize)) {
      case Room::Made:
        outcome = Outcome::Fixed;
        break;
      case Room::Failed:
        return Outcome::WriteFailed;
      case Room::NotPossible:
        break;
    }
  }
  return out.Close() ? outcome : Outcome::WriteFailed;
}

}  // namespace

Outcome RepairFile(const std::string& path) {
  if (path.find('\0') != std::string::npos) {
    return Outcome::CannotOpen;  // no file has such a name; a cut one is another file
  }
  bool again = false;
  const Outcome outcome = RepairOnce(path, again);
  return again ? RepairOnce(path, again) : outcome;
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
    case Outcome::ToEnd:
      return Format(
          "Data block in %s is too large for a wave file header; its sizes now say to read to the "
          "end of the file.\n",
          path);
    case Outcome::Fixed:
      return Format("Header was fixed successfully in %s.\n", path);
    case Outcome::WriteFailed:
      return Format("Unable to write data to header in %s.\n", path);
  }
  return {};
}

void FIX_SIZE(const std::string& path) { Say(Message(RepairFile(path), path)); }

}  // namespace zavevuv
