// SPDX-License-Identifier: MIT
#include "lines.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <numeric>

#include "text.h"

namespace zavevuv::cli {
namespace {

// The container a report names, before "data size": none for RIFF and RF64.
std::string Container(const zavevuv_report& r) {
  switch (r.kind) {
    case ZAVEVUV_KIND_W64:
      return "Wave64 ";
    case ZAVEVUV_KIND_AIFF:
      return "AIFF ";
    case ZAVEVUV_KIND_AIFC:
      return "AIFF-C ";
    default:
      return "";
  }
}

// "data size 0 -> 1,234,560 bytes (6.43 s)", or where the data size was
// right, the other fields that were not; "AIFF data size ..." and so on for
// the other containers.
std::string Sizes(const zavevuv_report& r) {
  const std::string seconds = Duration(r.frames, r.sample_rate);
  if (r.stated_bytes != r.audio_bytes) {
    return Container(r) + "data size " + Grouped(r.stated_bytes) + " -> " + Grouped(r.audio_bytes) +
           " bytes" + seconds;
  }
  return std::to_string(r.fields) + (r.fields == 1 ? " size field" : " size fields") + "; " +
         Container(r) + "data size " + Grouped(r.audio_bytes) + " bytes" + seconds;
}

std::string WouldFix(const zavevuv_report& r) {
  std::string line = r.shape != ZAVEVUV_SHAPE_NONE ? Rebuilt(r, true) : kWouldFix + Sizes(r);
  if (r.rf64 != 0) {
    line += ", as RF64";
  } else if (r.insert != 0) {
    line += ", as RF64 by an insert";
  } else if (r.outcome == ZAVEVUV_TO_END) {
    line += " as \"to the end of the file\"; no room for RF64";
  }
  if (r.write_error != 0) {
    line += std::string("; cannot open for writing: ") + std::strerror(r.write_error);
  }
  return line;
}

std::string Unfixable(const zavevuv_report& r) {
  const std::string word = WordsOf(r.outcome).word;
  switch (r.outcome) {
    case ZAVEVUV_TO_END:
      return word + Sizes(r) + " as \"to the end of the file\"; no room for RF64";
    case ZAVEVUV_TOO_LARGE:
      return word + Grouped(r.audio_bytes) + " bytes" + Duration(r.frames, r.sample_rate) +
             " of audio past 4 GiB; " +
             (Container(r).empty() ? "no room for RF64" : Container(r) + "has no 64-bit sizes");
    case ZAVEVUV_HEADER_GONE:
      return Gone(r);
    default:  // truncated, no data chunk: the word says it all
      return WordsOf(r.outcome).word;
  }
}

// Whether the report says a repair would write.
bool NeedsWrite(const zavevuv_report& r) {
  return r.outcome == ZAVEVUV_FIXED || r.outcome == ZAVEVUV_TO_END || r.insert != 0;
}

int StatusOf(Verdict verdict) {
  switch (verdict) {
    case Verdict::NeedsRepair:
    case Verdict::Unfixable:
      return 1;
    case Verdict::Failed:
      return 2;
    default:
      return 0;
  }
}

}  // namespace

// " (6.43 s)", rounded to the hundredth, where the count and the rate are
// known.
std::string Duration(std::uint64_t frames, std::uint32_t rate) {
  if (frames == ZAVEVUV_UNKNOWN || rate == 0) {
    return "";
  }
  std::uint64_t whole = frames / rate;
  std::uint64_t cents = (frames % rate * 100 + rate / 2) / rate;
  if (cents == 100) {
    whole += 1;
    cents = 0;
  }
  std::array<char, 4> fraction{};
  std::snprintf(fraction.data(), fraction.size(), "%02u", static_cast<unsigned>(cents));
  return " (" + Grouped(whole) + "." + fraction.data() + " s)";
}

Shown GnuFile(const std::string& path, const zavevuv_report& r, const Options& options,
              bool named) {
  const Verdict verdict = VerdictOf(r, options.check);
  Shown shown{verdict, StatusOf(verdict), {}, {}};
  const bool silent = verdict == Verdict::Correct || verdict == Verdict::NotAudio;
  if ((verdict == Verdict::NotAudio && !named) || (options.quiet && silent)) {
    return shown;
  }
  if (options.json) {
    shown.out = JsonLine(path, r, options.check, verdict == Verdict::NeedsRepair);
  }
  if (verdict == Verdict::Failed) {
    shown.err = Failure(path, r, options.recursive);
  } else if (!options.json) {
    shown.out = Line(path, r, verdict);
  }
  return shown;
}

Shown GnuEvent(Event event, const std::string& path, int error, std::size_t /*count*/,
               const Options& options) {
  const EventWords& words = kEventWords[static_cast<std::size_t>(event)];
  Shown shown{Verdict::Failed, 2, {}, Diagnostic(path, words.reason, error)};
  if (options.json) {
    zavevuv_report report{};
    report.outcome = error != 0 ? ZAVEVUV_CANNOT_OPEN : ZAVEVUV_INVALID;
    report.error = error;
    report.data_chunk = report.frames = report.stated_frames = ZAVEVUV_UNKNOWN;
    shown.out = JsonLine(path, report, options.check, false);
  }
  return shown;
}

Verdict VerdictOf(const zavevuv_report& r, bool check) {
  const Verdict verdict = WordsOf(r.outcome).verdict;
  switch (r.outcome) {
    case ZAVEVUV_FIXED:
      return check ? Verdict::NeedsRepair : verdict;
    case ZAVEVUV_TO_END:
    case ZAVEVUV_TOO_LARGE:
      return check && NeedsWrite(r) ? Verdict::NeedsRepair : verdict;
    case ZAVEVUV_NO_DATA_CHUNK:
      return r.kind == ZAVEVUV_KIND_NOT_WAVE ? Verdict::NotAudio : verdict;
    default:
      return verdict;
  }
}

std::string Line(const std::string& path, const zavevuv_report& r, Verdict verdict) {
  const std::string name = Escaped(path, true) + ": ";
  switch (verdict) {
    case Verdict::Correct:
      return name + WordsOf(r.outcome).word + "\n";
    case Verdict::Repaired:
      return name +
             (r.shape != ZAVEVUV_SHAPE_NONE ? Rebuilt(r, false)
                                            : WordsOf(r.outcome).word + Sizes(r)) +
             (r.rf64 != 0 ? ", now RF64\n" : "\n");
    case Verdict::NeedsRepair:
      return name + WouldFix(r) + "\n";
    case Verdict::Unfixable:
      return name + Unfixable(r) + "\n";
    default:
      return name + kNotAudio + "\n";
  }
}

std::string Diagnostic(const std::string& path, const char* reason, int error) {
  std::string line = "zavevuv: " + Escaped(path, true) + ": " + reason;
  if (error != 0) {
    line += std::string(": ") + std::strerror(error);
  }
  return line + "\n";
}

std::string Failure(const std::string& path, const zavevuv_report& r, bool recursive) {
  const char* reason = WordsOf(r.outcome).word;
  switch (r.outcome) {
    case ZAVEVUV_CANNOT_OPEN:
      if (r.error == EISDIR && !recursive) {
        return Diagnostic(path, "a folder, walked only with -r", r.error);
      }
      // Read, but a repair could not open it for writing.
      return Diagnostic(path, r.kind != ZAVEVUV_KIND_UNKNOWN ? "cannot open for writing" : reason,
                        r.error);
    case ZAVEVUV_READ_FAILED:
      return r.error != 0 ? Diagnostic(path, reason, r.error)
                          : Diagnostic(path, "cannot read: it changed while it was read", 0);
    case ZAVEVUV_BUSY:
      return Diagnostic(path, reason, 0);
    default:
      return Diagnostic(path, reason, r.error);
  }
}

std::string Summary(const Seen& seen, std::uint64_t skipped, bool check) {
  const auto n = [&](Verdict verdict) { return Grouped(seen[static_cast<std::size_t>(verdict)]); };
  const std::uint64_t files = std::accumulate(seen.begin(), seen.end(), std::uint64_t{0});
  const std::uint64_t fixed = seen[static_cast<std::size_t>(Verdict::Repaired)] +
                              seen[static_cast<std::size_t>(Verdict::NeedsRepair)];
  std::string line = "zavevuv: " + Grouped(files) + " files: " + n(Verdict::Correct) +
                     " correct, " + Grouped(fixed) + (check ? " to fix, " : " fixed, ") +
                     n(Verdict::Unfixable) + " not fixable, " + n(Verdict::NotAudio) +
                     " not audio, " + n(Verdict::Failed) + " failed";
  if (skipped != 0) {
    line += "; " + Grouped(skipped) + " skipped (links, special files)";
  }
  return line + "\n";
}

std::string Progress(const Seen& seen, bool check) {
  const std::uint64_t files = std::accumulate(seen.begin(), seen.end(), std::uint64_t{0});
  const std::uint64_t fixed = seen[static_cast<std::size_t>(Verdict::Repaired)] +
                              seen[static_cast<std::size_t>(Verdict::NeedsRepair)];
  return "\rzavevuv: " + Grouped(files) + " files, " + Grouped(fixed) +
         (check ? " to fix, " : " fixed, ") +
         Grouped(seen[static_cast<std::size_t>(Verdict::Failed)]) + " failed\033[K";
}

}  // namespace zavevuv::cli
