// SPDX-License-Identifier: MIT
// One run of the zavevuv command: each file checked or repaired through the
// library, its line said, the counts kept, the progress shown on a terminal.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "jobs.h"
#include "lines.h"
#include "options.h"
#include "tree.h"

namespace zavevuv::cli {

class Run final : public Sink {
 public:
  explicit Run(const Options& options);
  void File(const std::string& path, bool named) override;
  void Skipped() override { ++skipped_; }
  void Trouble(const std::string& path, const char* reason, int error) override;
  [[nodiscard]] bool Stopping() const override;
  // Erases the progress line, says the summary; the exit status. After a
  // stop signal (see CatchStops), the process then ends as it would have.
  int Finish();

 private:
  [[nodiscard]] zavevuv_report ReportOf(const std::string& path) const;
  // Counts a file by what is shown of it, and prints its lines.
  void Print(const Shown& shown);
  void Progress();
  void Erase();

  const Options& options_;
  std::unique_ptr<Jobs> jobs_;  // where files are handled several at once
  [[nodiscard]] std::string Seen(Verdict verdict) const;
  // Files seen, and of each verdict; a run's repairs are made or needed.
  std::uint64_t files_ = 0, skipped_ = 0;
  std::array<std::uint64_t, static_cast<std::size_t>(Verdict::Failed) + 1> seen_{};
  int status_ = 0;
  bool terminal_ = false;  // standard error is one: progress may be shown
  bool shown_ = false;     // a progress line is on it
  timespec start_{}, drawn_{};
};

}  // namespace zavevuv::cli
