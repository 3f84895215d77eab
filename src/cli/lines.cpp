// SPDX-License-Identifier: MIT
#include "lines.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "output.h"

namespace zavevuv::cli {
namespace {

// " (6.43 s)", rounded to the hundredth, where the count and the rate are
// known.
std::string Seconds(std::uint64_t frames, std::uint32_t rate) {
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
  const std::string seconds = Seconds(r.frames, r.sample_rate);
  if (r.stated_bytes != r.audio_bytes) {
    return Container(r) + "data size " + Grouped(r.stated_bytes) + " -> " + Grouped(r.audio_bytes) +
           " bytes" + seconds;
  }
  return std::to_string(r.fields) + (r.fields == 1 ? " size field" : " size fields") + "; " +
         Container(r) + "data size " + Grouped(r.audio_bytes) + " bytes" + seconds;
}

std::string WouldFix(const zavevuv_report& r) {
  std::string line = "would fix: " + Sizes(r);
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
  switch (r.outcome) {
    case ZAVEVUV_TO_END:
      return "to the end: " + Sizes(r) + " as \"to the end of the file\"; no room for RF64";
    case ZAVEVUV_TOO_LARGE:
      return "too large: " + Grouped(r.audio_bytes) + " bytes" + Seconds(r.frames, r.sample_rate) +
             " of audio past 4 GiB; " +
             (Container(r).empty() ? "no room for RF64" : Container(r) + "has no 64-bit sizes");
    case ZAVEVUV_TRUNCATED:
      return "truncated: the file ends inside the data chunk's size field";
    default:
      return "no data chunk";
  }
}

// "zavevuv: PATH: REASON[: STRERROR]" with a line feed; no STRERROR for 0.
std::string Diagnostic(const std::string& path, const char* reason, int error) {
  std::string line = "zavevuv: " + Escaped(path, true) + ": " + reason;
  if (error != 0) {
    line += std::string(": ") + std::strerror(error);
  }
  return line + "\n";
}

std::string Failure(const std::string& path, const zavevuv_report& r, bool recursive) {
  switch (r.outcome) {
    case ZAVEVUV_CANNOT_OPEN:
      if (r.error == EISDIR && !recursive) {
        return Diagnostic(path, "a folder, walked only with -r", r.error);
      }
      // Read, but a repair could not open it for writing.
      return Diagnostic(path,
                        r.kind != ZAVEVUV_KIND_UNKNOWN ? "cannot open for writing" : "cannot open",
                        r.error);
    case ZAVEVUV_READ_FAILED:
      return r.error != 0 ? Diagnostic(path, "cannot read", r.error)
                          : Diagnostic(path, "cannot read: it changed while it was read", 0);
    case ZAVEVUV_WRITE_FAILED:
      return Diagnostic(path, "cannot write", r.error);
    case ZAVEVUV_NO_MEMORY:
      return Diagnostic(path, "out of memory", r.error);
    case ZAVEVUV_BUSY:
      return Diagnostic(path, "busy: another process holds the file; nothing written, try again",
                        0);
    default:
      return Diagnostic(path, "cannot check", r.error);
  }
}

// Whether the report says a repair would write.
bool NeedsWrite(const zavevuv_report& r) {
  return r.outcome == ZAVEVUV_FIXED || r.outcome == ZAVEVUV_TO_END || r.insert != 0;
}

Verdict VerdictOf(const zavevuv_report& r, bool check) {
  switch (r.outcome) {
    case ZAVEVUV_CORRECT:
      return Verdict::Correct;
    case ZAVEVUV_FIXED:
      return check ? Verdict::NeedsRepair : Verdict::Repaired;
    case ZAVEVUV_TO_END:
    case ZAVEVUV_TOO_LARGE:
      return check && NeedsWrite(r) ? Verdict::NeedsRepair : Verdict::Unfixable;
    case ZAVEVUV_TRUNCATED:
      return Verdict::Unfixable;
    case ZAVEVUV_NO_DATA_CHUNK:
      return r.kind == ZAVEVUV_KIND_NOT_WAVE ? Verdict::NotWave : Verdict::Unfixable;
    default:
      return Verdict::Failed;
  }
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

// The text line of a file that did not fail.
std::string Line(const std::string& path, const zavevuv_report& r, Verdict verdict) {
  const std::string name = Escaped(path, true) + ": ";
  switch (verdict) {
    case Verdict::Correct:
      return name + "correct\n";
    case Verdict::Repaired:
      return name + "fixed: " + Sizes(r) + (r.rf64 != 0 ? ", now RF64\n" : "\n");
    case Verdict::NeedsRepair:
      return name + WouldFix(r) + "\n";
    case Verdict::Unfixable:
      return name + Unfixable(r) + "\n";
    default:
      return name + "not a WAVE file\n";
  }
}

}  // namespace

Shown ShowFile(const std::string& path, const zavevuv_report& r, const Options& options,
               bool named) {
  const Verdict verdict = VerdictOf(r, options.check);
  Shown shown{verdict, StatusOf(verdict), {}, {}};
  const bool silent = verdict == Verdict::Correct || verdict == Verdict::NotWave;
  if ((verdict == Verdict::NotWave && !named) || (options.quiet && silent)) {
    return shown;
  }
  if (options.json) {
    shown.out = JsonLine(path, r, options.check);
  }
  if (verdict == Verdict::Failed) {
    shown.err = Failure(path, r, options.recursive);
  } else if (!options.json) {
    shown.out = Line(path, r, verdict);
  }
  return shown;
}

Shown ShowTrouble(const std::string& path, const char* reason, int error, const Options& options) {
  Shown shown{Verdict::Failed, StatusOf(Verdict::Failed), {}, Diagnostic(path, reason, error)};
  if (options.json) {
    zavevuv_report report{};
    report.outcome = error != 0 ? ZAVEVUV_CANNOT_OPEN : ZAVEVUV_INVALID;
    report.error = error;
    report.data_chunk = report.frames = report.stated_frames = ZAVEVUV_UNKNOWN;
    shown.out = JsonLine(path, report, options.check);
  }
  return shown;
}

std::string Grouped(std::uint64_t n) {
  std::string digits = std::to_string(n);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<std::size_t>(at), 1, ',');
  }
  return digits;
}

}  // namespace zavevuv::cli
