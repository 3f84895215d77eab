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
#include "report.h"
#include "walk.h"

namespace zavevuv::cli {

// The take zavevuv's --like names, read once; nothing, said why on standard
// error, where it cannot be read or is no take. None asked: no take.
std::optional<Like> ReadTheLike(const Options& options);

class Run final : public Sink {
 public:
  // `like`: zavevuv's look at a file whose header is gone (with or without
  // a take).
  explicit Run(const Options& options, Like like = {});
  void FIX_SIZE(const std::string& path, bool named) override;
  void Entry(int folder, const std::string& name, const std::string& path) override;
  void Skipped() override { ++skipped_; }
  void Tell(Event event, const std::string& path, int error, std::size_t count) override;
  [[nodiscard]] bool Stopping() const override;
  // Every file begun is done and said; the summary, where it tells
  // something; the exit status. After a stop signal (see CatchStops), the
  // process then ends as it would have.
  int Finish();

 private:
  // What a file may be rebuilt from, or said to read as, where its header
  // is gone: only one named, or named as audio is, and only by zavevuv.
  [[nodiscard]] const Like* LikeFor(const std::string& path, bool named) const;
  // Counts what is said of a file or event, and writes it.
  void Print(const Shown& shown);
  void Progress();
  void Erase();

  const Options& options_;
  const DialectWords& words_;  // what the run's dialect says
  Like like_;
  std::unique_ptr<Jobs> jobs_;  // where files are handled, one or several at once
  Seen seen_{};
  std::uint64_t skipped_ = 0;
  int status_ = 0;
  bool terminal_ = false;  // standard error is one: progress may be shown
  bool shown_ = false;     // a progress line is on it
  timespec start_{}, drawn_{};
};

}  // namespace zavevuv::cli
