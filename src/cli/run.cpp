// SPDX-License-Identifier: MIT
#include "run.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <numeric>

#include "report.h"
#include "say.h"
#include "stops.h"
#include "text.h"

namespace zavevuv::cli {
namespace {

double Since(const timespec& then) {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec - then.tv_sec) +
         static_cast<double>(now.tv_nsec - then.tv_nsec) / 1e9;
}

// Files handled at once when the command line does not say: for a repair,
// enough for the syncs to overlap; a check, whose files cost a few system
// calls each, is quicker in one thread than handed to others (see DESIGN.md).
constexpr unsigned kRepairJobs = 16;
constexpr unsigned kCheckJobs = 1;

}  // namespace

std::optional<Like> ReadTheLike(const Options& options) {
  if (options.like == nullptr) {
    return Like{};
  }
  Like like{ReadLike(options.like)};
  if (!like.take) {
    const bool noTake = errno == EINVAL;
    Say(Stream::Err,
        Diagnostic(options.like, noTake ? kNoTake : "cannot read take", noTake ? 0 : errno));
    return std::nullopt;
  }
  return like;
}

Run::Run(const Options& options, Like like)
    : options_(options), words_(WordsOf(options.dialect)), like_(std::move(like)) {
  const bool gnu = options.dialect == Dialect::Gnu;
  terminal_ = gnu && ::isatty(STDERR_FILENO) == 1;
  ::clock_gettime(CLOCK_MONOTONIC, &start_);
  const unsigned jobs = !gnu                ? 1
                        : options.jobs != 0 ? options.jobs
                        : options.check     ? kCheckJobs
                                            : kRepairJobs;
  jobs_ = std::make_unique<Jobs>(
      jobs,
      [this](const Shown& shown) {
        Print(shown);
        Progress();
      },
      [this] { return Stopping(); });
}

bool Run::Stopping() const { return StopSignal() != 0; }

// The file checked or repaired through the library by its path, and what
// the run's dialect says of it. A repair of a file it may only read says what
// it is where that needs no write (correct, not audio), as a check would.
void Run::FIX_SIZE(const std::string& path, bool named) {
  const Like* like = LikeFor(path, named);
  jobs_->Add([this, path, named, like] {
    zavevuv_report report{};
    report.size = sizeof report;
    if (like != nullptr) {
      WithLike(path.c_str(), *like, options_.check ? Mode::Check : Mode::Repair, &report);
    } else {
      (options_.check ? zavevuv_check : zavevuv_repair)(path.c_str(), &report);
    }
    return words_.file(path, report, options_, named);
  });
}

const Like* Run::LikeFor(const std::string& path, bool named) const {
  return options_.dialect == Dialect::Gnu && (named || NamedAsAudio(path)) ? &like_ : nullptr;
}

// A check in this thread looks at a walk's file once, by its name in its
// folder: the walk knows it is a regular file. Anything else goes by path.
void Run::Entry(int folder, const std::string& name, const std::string& path) {
  if (!options_.check || jobs_->Threaded()) {
    FIX_SIZE(path, false);
    return;
  }
  jobs_->Add([this, folder, &name, &path] {  // run at once, in this thread
    zavevuv_report report{};
    report.size = sizeof report;
    CheckEntry(folder, name.c_str(), &report, LikeFor(path, false));
    return words_.file(path, report, options_, false);
  });
}

void Run::Tell(Event event, const std::string& path, int error, std::size_t count) {
  jobs_->Add(words_.event(event, path, error, count, options_));
}

void Run::Print(const Shown& shown) {
  ++seen_[static_cast<std::size_t>(shown.verdict)];
  status_ = std::max(status_, shown.status);
  if (!shown.out.empty() || !shown.err.empty()) {
    Erase();
  }
  if (!shown.out.empty()) {
    Say(Stream::Out, shown.out);
    if (OutputClosed()) {
      StopBy(SIGPIPE);  // as SIGTERM: the files in hand are finished, no other begun
    }
  }
  if (!shown.err.empty()) {
    Say(Stream::Err, shown.err);
  }
}

// One line on the terminal once the run has taken a second, redrawn at most
// ten times a second.
void Run::Progress() {
  if (!terminal_ || Since(start_) < 1 || (shown_ && Since(drawn_) < 0.1)) {
    return;
  }
  ::clock_gettime(CLOCK_MONOTONIC, &drawn_);
  Say(Stream::Err, cli::Progress(seen_, options_.check));
  shown_ = true;
}

void Run::Erase() {
  if (shown_) {
    Say(Stream::Err, "\r\033[K");
    shown_ = false;
  }
}

int Run::Finish() {
  jobs_.reset();  // every file begun is done and said
  Erase();
  // A summary where it tells something: asked for, on a terminal, where a
  // file needs attention or the run was stopped; never under -q, nor for one
  // file.
  const std::uint64_t files = std::accumulate(seen_.begin(), seen_.end(), std::uint64_t{0});
  const bool tells = options_.verbose || terminal_ || status_ != 0 || StopSignal() != 0;
  if (options_.dialect == Dialect::Gnu && files > 1 && !options_.quiet && tells) {
    Say(Stream::Err, Summary(seen_, skipped_, options_.check));
  }
  if (const int signal = StopSignal(); signal != 0) {
    ::signal(signal, SIG_DFL);
    ::raise(signal);
  }
  return OutputLost() ? words_.lostOutput : status_;
}

}  // namespace zavevuv::cli
