// SPDX-License-Identifier: MIT
#include "jobs.h"

#include <pthread.h>

#include <csignal>
#include <utility>

#include "hold.h"

namespace zavevuv::cli {

Jobs::Jobs(unsigned workers, Say say, std::function<bool()> stopping)
    : say_(std::move(say)), stopping_(std::move(stopping)), most_(workers) {
  // The workers start with the stop signals held (a new thread takes its
  // creator's mask); the creator's own mask is put back.
  sigset_t held{};
  sigset_t before{};
  sigemptyset(&held);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGIO}) {
    sigaddset(&held, signal);
  }
  pthread_sigmask(SIG_BLOCK, &held, &before);
  for (unsigned i = 0; workers > 1 && i < workers; ++i) {
    workers_.emplace_back([this] {
      HoldLeaseBreaksForTheRun();
      Serve();
    });
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

Jobs::~Jobs() {
  Drain();
  {
    const std::scoped_lock lock(mutex_);
    ending_ = true;
  }
  ready_.notify_all();
  for (std::thread& worker : workers_) {
    worker.join();
  }
}

void Jobs::Serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    Job* job = nullptr;
    ready_.wait(lock, [&] {
      for (Job& waiting : jobs_) {
        if (waiting.state == Job::Waiting) {
          job = &waiting;
          return true;
        }
      }
      return ending_;
    });
    if (job == nullptr) {
      return;
    }
    if (stopping_()) {
      job->state = Job::Dropped;
    } else {
      job->state = Job::Running;
      lock.unlock();
      Shown shown = job->work();
      lock.lock();
      job->shown = std::move(shown);
      job->state = Job::Done;
    }
    done_.notify_all();
  }
}

bool Jobs::SayFirst(std::unique_lock<std::mutex>& lock) {
  Job& first = jobs_.front();
  if (first.state != Job::Done && first.state != Job::Dropped) {
    return false;
  }
  const Job job = std::move(first);
  jobs_.pop_front();
  if (job.state == Job::Done) {
    lock.unlock();
    say_(job.shown);
    lock.lock();
  }
  return true;
}

void Jobs::Add(Work work) {
  if (!Threaded()) {
    say_(work());
    return;
  }
  std::unique_lock lock(mutex_);
  while (jobs_.size() >= most_) {
    if (!SayFirst(lock)) {
      done_.wait(lock);
    }
  }
  jobs_.push_back({std::move(work), {}, Job::Waiting});
  lock.unlock();
  ready_.notify_one();
}

void Jobs::Add(const Shown& shown) {
  std::unique_lock lock(mutex_);
  if (jobs_.empty()) {
    lock.unlock();
    say_(shown);
    return;
  }
  jobs_.push_back({nullptr, shown, Job::Done});
}

void Jobs::Drain() {
  std::unique_lock lock(mutex_);
  while (!jobs_.empty()) {
    if (!SayFirst(lock)) {
      done_.wait(lock);
    }
  }
}

}  // namespace zavevuv::cli
