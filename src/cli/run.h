// SPDX-License-Identifier: MIT
// One run of either command: each file checked or repaired through the
// library, what is said of it (in the run's dialect) written to its stream,
// the counts and the exit status kept; under zavevuv, the progress on a
// terminal and the summary.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "jobs.h"
#include "lines.h"
#include "options.h"
#include "walk.h"

namespace zavevuv::cli {

class Run final : public Sink {
 public:
  explicit Run(const Options& options);
  void File(const std::string& path, bool named) override;
  void Entry(int folder, const std::string& name, const std::string& path) override;
  void Skipped() override { ++skipped_; }
  void Tell(Event event, const std::string& path, int error, std::size_t count) override;
  [[nodiscard]] bool Stopping() const override;
  // Every file begun is done and said; the summary, where it tells
  // something; the exit status. After a stop signal (see CatchStops), the
  // process then ends as it would have.
  int Finish();

 private:
  // Counts what is said of a file or event, and writes it.
  void Print(const Shown& shown);
  void Progress();
  void Erase();

  const Options& options_;
  const DialectWords& words_;   // what the run's dialect says
  std::unique_ptr<Jobs> jobs_;  // where files are handled, one or several at once
  Seen seen_{};
  std::uint64_t skipped_ = 0;
  int status_ = 0;
  bool terminal_ = false;  // standard error is one: progress may be shown
  bool shown_ = false;     // a progress line is on it
  timespec start_{}, drawn_{};
};

}  // namespace zavevuv::cli
