// SPDX-License-Identifier: MIT
// Files handled by worker threads, so that one file's sync waits while the
// next files are looked at, written and synced: each line is still said in
// the order the files came, and only once its own file is done.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "lines.h"

namespace zavevuv::cli {

class Jobs {
 public:
  using Work = std::function<Shown()>;  // runs in a worker
  using Say = std::function<void(const Shown&)>;
  // `workers` threads, where there are two or more; one job at a time is
  // run at once by the thread that adds it. They hold the stop signals, so
  // that a signal reaches the thread that says the lines; and each holds the
  // lease breaks, as the command's one thread does. `stopping`: whether a job
  // not yet begun is to be dropped.
  Jobs(unsigned workers, Say say, std::function<bool()> stopping);
  Jobs(const Jobs&) = delete;
  Jobs& operator=(const Jobs&) = delete;
  ~Jobs();

  // A job, begun by the first idle worker. While as many jobs as there are
  // workers wait to be said, the first is waited for and said first.
  void Add(Work work);
  // A line with nothing to run (a folder that could not be read), said in
  // its turn.
  void Add(const Shown& shown);
  // Every job begun is finished and said; those never begun (a stop came)
  // are dropped.
  void Drain();
  // Whether jobs run in threads of their own (and so may outlive what the
  // adding thread holds).
  [[nodiscard]] bool Threaded() const { return !workers_.empty(); }

 private:
  struct Job {
    Work work;
    Shown shown;
    enum { Waiting, Running, Done, Dropped } state = Waiting;
  };
  void Serve();
  // Says the first job once it is done (the lock held, and let go while
  // saying); false when it is not done yet.
  bool SayFirst(std::unique_lock<std::mutex>& lock);

  Say say_;
  std::function<bool()> stopping_;
  std::size_t most_;
  std::mutex mutex_;
  std::condition_variable ready_;  // a job to begin, or the end
  std::condition_variable done_;   // a job done
  std::deque<Job> jobs_;           // in the order given; references stay valid at both ends
  bool ending_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace zavevuv::cli
