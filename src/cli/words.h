// SPDX-License-Identifier: MIT
// Every word either command says, from one table: for each outcome of the
// library and each event of a list or a walk, zavevuv_32uvo's line and
// zavevuv's; and each dialect's step from a file's report, or an event, to
// what is said of it (classic.cpp, lines.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "options.h"
#include "say.h"
#include "zavevuv.h"

namespace zavevuv::cli {

// What zavevuv makes of a file.
enum class Verdict {
  Correct,      // every size field is right
  Repaired,     // it was not, and is now
  NeedsRepair,  // a check: a repair would write
  Unfixable,    // an audio file whose sizes no repair here can make true
  NotAudio,     // no file the library knows
  Failed,       // it could not be opened, read or written
};

// An outcome's words: zavevuv_32uvo's line ("%s": the path), and zavevuv's
// verdict (before a check and the file's kind refine it) and word (what its
// line says after the path, or for a failure the diagnostic's reason).
struct OutcomeWords {
  const char* classic;
  Verdict verdict;
  const char* word;
};

// Each outcome, in the order of its code.
inline constexpr std::array<OutcomeWords, ZAVEVUV_HEADER_GONE + 1> kOutcomeWords{{
    {"The header in %s appears to be correct.\n", Verdict::Correct, "correct"},
    {"Header was fixed successfully in %s.\n", Verdict::Repaired, "fixed: "},
    {"Data block in %s is too large for a wave file header; its sizes now say to read to the end "
     "of the file.\n",
     Verdict::Unfixable, "to the end: "},
    {"Data block in %s is too large for a wave file header.\n", Verdict::Unfixable, "too large: "},
    {"The header in %s is truncated.\n", Verdict::Unfixable,
     "truncated: the file ends inside the data chunk's size field"},
    {"Cannot find data block in wave file!\n", Verdict::Unfixable, "no data chunk"},
    {"File called %s cannot be found.\n", Verdict::Failed, "cannot open"},
    {"Unable to read header in %s.\n", Verdict::Failed, "cannot read"},
    {"Unable to write data to header in %s.\n", Verdict::Failed, "cannot write"},
    {"Unable to read header in %s.\n", Verdict::Failed, "out of memory"},    // no memory
    {"File called %s cannot be found.\n", Verdict::Failed, "cannot check"},  // invalid
    {"File called %s cannot be found.\n", Verdict::Failed,
     "busy: another process holds the file; nothing written, try again"},
    {"Cannot find data block in wave file!\n", Verdict::Unfixable, "header gone"},
}};

// zavevuv's words for a file no outcome names alone: one a check finds a
// repair would write, and one of no container the library knows.
inline constexpr const char* kWouldFix = "would fix: ";
inline constexpr const char* kNotAudio = "not audio";
// And for a take --like names that is none.
inline constexpr const char* kNoTake =
    "not a take: its header does not stand, or its samples are of a format no bytes can be "
    "tested against (ADPCM, GSM)";

// A file whose header is gone: its shape, by code; why it was not rebuilt,
// by code; and what to do where no take was named.
inline constexpr std::array<const char*, ZAVEVUV_SHAPE_DAMAGED + 1> kShapeWords{
    {"", "head zeroed", "head cut away", "head damaged"}};
inline constexpr std::array<const char*, ZAVEVUV_REFUSAL_TOO_LARGE + 1> kRefusalWords{{
    "",
    "not as the take's format",
    "the audio tested is silence, which tells no format",
    "its samples start where the take's container cannot start its audio",
    "no block can be inserted at its start on this file system",
    "the bytes before its data chunk cannot hold the take's head",
    "past 4 GiB, which AIFF cannot describe",
}};
inline constexpr const char* kNameATake =
    "name a take of the same recorder with --like=TAKE to rebuild it";

// The words of an outcome code; a code the table lacks reads as a failed read.
const OutcomeWords& WordsOf(int outcome);

// What a list or a walk meets besides files.
enum class Event {
  ListMissing,       // nothing by the list's name (errno)
  ListCannotOpen,    // the list cannot be opened (errno)
  ListDevice,        // a device that may act on being opened: never opened
  ListNoWriter,      // a named pipe no process opened for writing in 2 seconds
  ListUnreadable,    // a read failed (errno), or its bytes are no list
  ListCount,         // zavevuv_32uvo: the names read, before the first file
  ListLonger,        // zavevuv_32uvo: the list names more than were taken
  EmptyName,         // zavevuv: an empty name (a run of them, said once)
  EmptyNames,        // zavevuv: 512 in a row: the list is read no further
  NameTooLong,       // zavevuv: a name longer than any path, not held
  FolderCannotOpen,  // a walk's folder (errno)
  FolderCannotRead,
  Count_,
};

// An event's words: zavevuv_32uvo's line ("%s": the list, "%i": a count)
// and the status it asks for; zavevuv's reason. Null where a dialect never
// meets the event.
struct EventWords {
  const char* classic;
  int classicStatus;
  const char* reason;
};

inline constexpr std::array<EventWords, static_cast<std::size_t>(Event::Count_)> kEventWords{{
    {"List called %s does not exist\n", 1, "cannot open list"},
    {"List called %s cannot be read\n", 1, "cannot open list"},
    {"List called %s cannot be read\n", 1, "cannot open list: a device, never opened as one"},
    {"List called %s cannot be read\n", 1, "cannot open list: no writer opened it in 2 seconds"},
    {"List called %s cannot be read\n", 1, "cannot read list"},
    {"Read a list containing %i files\n", 0, nullptr},
    {"List called %s names more than %i files; the rest were not checked.\n", 0, nullptr},
    {nullptr, 0, "invalid zero-length file name"},
    {nullptr, 0, "invalid zero-length file names in a row: list read no further"},
    {nullptr, 0, "cannot open"},
    {nullptr, 0, "cannot open folder"},
    {nullptr, 0, "cannot read folder"},
}};

// What a run says of one file or event: the lines, each empty where there is
// none, zavevuv's verdict, and the exit status it asks for.
struct Shown {
  Verdict verdict = Verdict::Failed;
  int status = 0;
  std::string out;  // the line on standard output
  std::string err;  // the diagnostic on standard error
};

// A dialect's words: the one step from a file's report, or from an event
// of a list or a walk, to what is said of it, on which stream, with which
// exit status.
struct DialectWords {
  // A file. `named`: an operand as it was named, or a name of a list (a walk
  // passes over files that are not audio).
  Shown (*file)(const std::string& path, const zavevuv_report& report, const Options& options,
                bool named);
  // An event at `path` (the list's or the folder's; a list's name as
  // "LIST:N"); `error` its errno or 0, `count` the names of ListCount.
  Shown (*event)(Event event, const std::string& path, int error, std::size_t count,
                 const Options& options);
  int lostOutput;  // the status of a run whose standard output could not be written
};

const DialectWords& WordsOf(Dialect dialect);

// zavevuv_32uvo's usage text, with the version.
std::string Usage();

}  // namespace zavevuv::cli
