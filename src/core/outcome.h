// SPDX-License-Identifier: MIT
#pragma once

namespace zavevuv {

// What happened to one file. Each outcome has exactly one message line.
enum class Outcome {
  CannotOpen,   // not a regular file we may read and write
  ReadFailed,   // an I/O error while reading the header, or the file shrank meanwhile
  NoDataChunk,  // not a WAVE file, no data chunk reached, or cut before the audio
  Truncated,    // the file ends inside the data chunk's size field
  Correct,      // every size field is right
  TooLarge,     // past 4 GiB, no room for RF64, and none could be made
  ToEnd,        // past 4 GiB: the 32-bit sizes now say "to the end of the file"
  Fixed,        // size fields rewritten (or RF64 made) and synced
  WriteFailed,  // a write, the sync or the close after them failed
  Busy,         // another process holds the file (a lock, a lease): nothing written
  HeaderGone,   // its header is gone but its bytes are audio; not rebuilt (Found says why)
};

}  // namespace zavevuv
