// SPDX-License-Identifier: MIT
// What an insert at the start of a file records before it starts, as an
// extended attribute, and what the next run makes of it: an insert cut off
// part-way is finished, or its shift taken back. Nothing in the header can
// show a shift cut off part-way; the record of the file's holes can.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "fd.h"
#include "head_block.h"

namespace zavevuv {

// A run of the file that is a hole (SEEK_HOLE to SEEK_DATA).
struct Hole {
  std::uint64_t at = 0;
  std::uint64_t length = 0;
  bool operator==(const Hole&) const = default;
};

// What an insert records before it starts: its block size, the file's length
// and its holes, so that a shift cut off part-way can be told from a hole of
// the file's own.
// A rebuild's also records the bytes of the partial frame after the block
// that its head covers.
struct Intent {
  std::uint64_t b = 0;
  std::uint64_t oldLength = 0;
  std::vector<Hole> holes;
  std::optional<std::uint64_t> partial;  // a rebuild's
};

// The intent on the file, if any. Only "no such attribute" (or none on this
// file system) means none; any other error, or a value that is not ours,
// means the file cannot be judged.
struct IntentRead {
  enum { None, Found, Failed } state = None;
  Intent intent;
};
// `rebuild`: a rebuild's intent, else an upgrade's (each has its own
// attribute).
IntentRead ReadIntent(int fd, bool rebuild);
void RemoveIntent(int fd, bool rebuild);

// The file's holes, in order; nothing on an error or past `most` of them.
std::optional<std::vector<Hole>> Holes(int fd, std::uint64_t length, std::size_t most);

// The intent, written and synced before the insert.
bool WriteIntent(int fd, const Intent& intent);

// A file with more holes is never inserted into.
inline constexpr std::size_t kMaxHoles = 32;

// Where an insert's shift was cut off part-way (the length grown by B, a hole
// of B bytes in the audio, the old header still at 0), takes the hole out
// again. The caller holds the file's lease.
enum class Shift {
  TakenBack,  // the file is as it was before the insert: look at it anew
  NeverMade,  // the holes are as recorded: the intent is gone, go on
  Left,       // nothing matches the intent: the file is left as it is
};
Shift TakeBackShift(const Fd& out, std::uint64_t length, const Intent& intent);

}  // namespace zavevuv
