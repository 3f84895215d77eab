// SPDX-License-Identifier: MIT
#include "run.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>

#include "fd.h"
#include "lines.h"
#include "output.h"
#include "stops.h"

namespace zavevuv::cli {
namespace {

double Since(const timespec& then) {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec - then.tv_sec) +
         static_cast<double>(now.tv_nsec - then.tv_nsec) / 1e9;
}

}  // namespace

// Files handled at once when the command line does not say: for a repair,
// enough for the syncs to overlap; a check, whose files cost a few system
// calls each, is quicker in one thread than handed to others (see DESIGN.md).
constexpr unsigned kRepairJobs = 16;
constexpr unsigned kCheckJobs = 1;

Run::Run(const Options& options) : options_(options), terminal_(::isatty(STDERR_FILENO) == 1) {
  ::clock_gettime(CLOCK_MONOTONIC, &start_);
  const unsigned jobs = options.jobs != 0 ? options.jobs : options.check ? kCheckJobs : kRepairJobs;
  if (jobs > 1) {
    jobs_ = std::make_unique<Jobs>(
        jobs,
        [this](const Shown& shown) {
          Print(shown);
          Progress();
        },
        [this] { return Stopping(); });
  }
}

bool Run::Stopping() const { return StopSignal() != 0; }

zavevuv_report Run::ReportOf(const std::string& path) const {
  zavevuv_report report{};
  report.size = sizeof report;
  // A repair of a file it may only read says what it is where that needs no
  // write (correct, not WAVE), as a check would.
  (options_.check ? zavevuv_check : zavevuv_repair)(path.c_str(), &report);
  return report;
}

void Run::File(const std::string& path, bool named) {
  if (jobs_) {
    jobs_->Add([this, path, named] { return ShowFile(path, ReportOf(path), options_, named); });
    return;
  }
  Print(ShowFile(path, ReportOf(path), options_, named));
  Progress();
}

void Run::Trouble(const std::string& path, const char* reason, int error) {
  Shown shown = ShowTrouble(path, reason, error, options_);
  if (jobs_) {
    jobs_->Add(shown);
    return;
  }
  Print(shown);
}

void Run::Print(const Shown& shown) {
  ++files_;
  ++seen_[static_cast<std::size_t>(shown.verdict)];
  status_ = std::max(status_, shown.status);
  if (!shown.out.empty() || !shown.err.empty()) {
    Erase();
  }
  if (!shown.out.empty()) {
    PrintOut(shown.out);
    if (OutputClosed()) {
      StopBy(SIGPIPE);  // as SIGTERM: the files in hand are finished, no other begun
    }
  }
  if (!shown.err.empty()) {
    static_cast<void>(WriteAll(STDERR_FILENO, shown.err));
  }
}

std::string Run::Seen(Verdict verdict) const {
  std::uint64_t n = seen_[static_cast<std::size_t>(verdict)];
  if (verdict == Verdict::Repaired) {
    n += seen_[static_cast<std::size_t>(Verdict::NeedsRepair)];  // --check's
  }
  return Grouped(n);
}

// One line on the terminal once the run has taken a second, redrawn at most
// ten times a second.
void Run::Progress() {
  if (!terminal_ || Since(start_) < 1 || (shown_ && Since(drawn_) < 0.1)) {
    return;
  }
  ::clock_gettime(CLOCK_MONOTONIC, &drawn_);
  const std::string line = "\rzavevuv: " + Grouped(files_) + " files, " + Seen(Verdict::Repaired) +
                           (options_.check ? " to fix, " : " fixed, ") + Seen(Verdict::Failed) +
                           " failed\033[K";
  static_cast<void>(WriteAll(STDERR_FILENO, line));
  shown_ = true;
}

void Run::Erase() {
  if (shown_) {
    static_cast<void>(WriteAll(STDERR_FILENO, "\r\033[K"));
    shown_ = false;
  }
}

int Run::Finish() {
  jobs_.reset();  // every file begun is done and said
  Erase();
  if (files_ > 1 && !options_.quiet) {
    std::string line = "zavevuv: " + Grouped(files_) + " files: " + Seen(Verdict::Correct) +
                       " correct, " + Seen(Verdict::Repaired) +
                       (options_.check ? " to fix, " : " fixed, ") + Seen(Verdict::Unfixable) +
                       " not fixable, " + Seen(Verdict::NotWave) + " not WAVE, " +
                       Seen(Verdict::Failed) + " failed";
    if (skipped_ != 0) {
      line += "; " + Grouped(skipped_) + " skipped (links, special files)";
    }
    static_cast<void>(WriteAll(STDERR_FILENO, line + "\n"));
  }
  if (const int signal = StopSignal(); signal != 0) {
    ::signal(signal, SIG_DFL);
    ::raise(signal);
  }
  return OutputLost() ? 2 : status_;
}

}  // namespace zavevuv::cli
