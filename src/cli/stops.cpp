// SPDX-License-Identifier: MIT
#include "stops.h"

#include <poll.h>
#include <pthread.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>

namespace zavevuv::cli {
namespace {

// Set by the handler, read by every thread.
std::atomic<int> stopBy{0};
static_assert(std::atomic<int>::is_always_lock_free, "safe in a signal handler");

extern "C" void OnStop(int signal) { stopBy = signal; }

constexpr std::array kStops = {SIGINT, SIGTERM, SIGHUP};

}  // namespace

void CatchStops() {
  struct sigaction action {};
  action.sa_handler = OnStop;  // no SA_RESTART: a read of the list returns
  sigemptyset(&action.sa_mask);
  for (const int signal : kStops) {
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) {
      ::sigaction(signal, &action, nullptr);
    }
  }
  ::signal(SIGPIPE, SIG_IGN);
}

void StopBy(int signal) {
  int none = 0;
  stopBy.compare_exchange_strong(none, signal);
}

int StopSignal() { return stopBy; }

bool AwaitInput(int fd) {
  // The stop signals are held back while the flag is asked, and let in only
  // inside ppoll, which returns when one comes.
  sigset_t stops{};
  sigset_t before{};
  sigemptyset(&stops);
  for (const int signal : kStops) {
    sigaddset(&stops, signal);
  }
  pthread_sigmask(SIG_BLOCK, &stops, &before);
  pollfd input{fd, POLLIN, 0};
  while (stopBy == 0 && ::ppoll(&input, 1, nullptr, &before) < 0 && errno == EINTR) {
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return stopBy == 0;
}

}  // namespace zavevuv::cli
