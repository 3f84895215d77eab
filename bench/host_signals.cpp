// SPDX-License-Identifier: MIT
// A host with SIGURG of its own beside the library's repairs: one process
// opens the take again and again (a lease, where one is taken, is broken),
// another sends the host SIGURG with a value every 2 ms. The host takes it
// with a handler (repairing on a worker thread, or on the thread the handler
// runs on), or blocks it in every thread and takes it with sigwaitinfo on a
// thread of its own (repairing on a worker). Counts what the host saw: its
// own signals as sent, its own re-sent without their value (SI_USER), and
// signals it never sent (a lease break, POLL_MSG).
//   c++ -std=c++20 -O2 bench/host_signals.cpp -Ibuild/generated/include -Lbuild -lzavevuv \
//       -o /tmp/host_signals
//   LD_LIBRARY_PATH=build /tmp/host_signals 8000 worker|caller|sigwait DIR
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zavevuv.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

constexpr int kValue = 7;
std::atomic<long> own{0}, resent{0}, foreign{0};

void OnUrgent(int /*signal*/, siginfo_t* info, void* /*context*/) {
  if (info->si_code == SI_QUEUE && info->si_value.sival_int == kValue) {
    own.fetch_add(1);
  } else if (info->si_code == SI_USER) {
    resent.fetch_add(1);
  } else {
    foreign.fetch_add(1);
  }
}

struct Shared {
  std::atomic<int> stop{0};
  std::atomic<long> sent{0};
};

// A crashed take: 16-bit mono, the sizes a recorder leaves before its first sample.
void Crash(int fd) {
  std::array<unsigned char, 44> head{'R', 'I', 'F',  'F',  36,  0,   0,    0,    'W', 'A', 'V',
                                     'E', 'f', 'm',  't',  ' ', 16,  0,    0,    0,   1,   0,
                                     1,   0,   0x40, 0x1F, 0,   0,   0x80, 0x3E, 0,   0,   2,
                                     0,   16,  0,    'd',  'a', 't', 'a',  0,    0,   0,   0};
  static_cast<void>(pwrite(fd, head.data(), head.size(), 0));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: host_signals N worker|caller DIR\n");
    return 2;
  }
  const long n = std::atol(argv[1]);
  const std::string mode = argv[2];
  const bool worker = mode != "caller";
  const std::string path = std::string(argv[3]) + "/take.wav";
  sigset_t urgent;
  sigemptyset(&urgent);
  sigaddset(&urgent, SIGURG);
  std::atomic<bool> waiting{mode == "sigwait"};
  std::thread waiter;
  if (waiting) {  // blocked in every thread, taken by one
    pthread_sigmask(SIG_BLOCK, &urgent, nullptr);
    waiter = std::thread([&] {
      const struct timespec tick { 0, 10'000'000 };
      while (waiting) {
        siginfo_t info{};
        if (sigtimedwait(&urgent, &info, &tick) == SIGURG) {
          OnUrgent(SIGURG, &info, nullptr);
        }
      }
    });
  } else {
    struct sigaction act {};
    act.sa_flags = SA_SIGINFO | SA_RESTART;
    act.sa_sigaction = OnUrgent;
    sigaction(SIGURG, &act, nullptr);
  }
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  static_cast<void>(ftruncate(fd, 44 + 4000));
  close(fd);
  auto* shared =
      new (mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0))
          Shared;
  const pid_t host = getpid();
  const pid_t sender = fork();
  if (sender == 0) {
    while (shared->stop.load() == 0) {
      if (sigqueue(host, SIGURG, sigval{.sival_int = kValue}) == 0) {
        shared->sent.fetch_add(1);
      }
      usleep(2000);
    }
    _exit(0);
  }
  const pid_t opener = fork();
  if (opener == 0) {
    while (shared->stop.load() == 0) {
      const int other = open(path.c_str(), O_RDONLY);
      close(other);
      usleep(300);
    }
    _exit(0);
  }
  long fixed = 0;
  const auto repairs = [&] {
    for (long i = 0; i < n; ++i) {
      const int take = open(path.c_str(), O_RDWR);
      Crash(take);
      close(take);
      fixed += zavevuv_repair(path.c_str(), nullptr) == ZAVEVUV_FIXED ? 1 : 0;
    }
  };
  worker ? std::thread(repairs).join() : repairs();
  shared->stop.store(1);
  waitpid(sender, nullptr, 0);
  waitpid(opener, nullptr, 0);
  usleep(100000);  // the last signals handled
  waiting = false;
  if (waiter.joinable()) {
    waiter.join();
  }
  const long sent = shared->sent.load();
  std::printf(
      "%s, %ld repairs (%ld fixed): %ld sent, %ld seen as sent, %ld re-sent, %ld lost, "
      "%ld never sent\n",
      mode == "sigwait" ? "sigwaitinfo host, worker thread"
      : worker          ? "worker thread"
                        : "calling thread",
      n, fixed, sent, own.load(), resent.load(), sent - own.load() - resent.load(), foreign.load());
  return 0;
}
