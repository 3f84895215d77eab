// SPDX-License-Identifier: MIT
// The C interface as programs call it: by descriptor, on a file only a
// callback reads, with reports of other versions' sizes, with memory run out;
// and inside a host: on a 64 KiB thread stack, beside the host's own SIGURG
// and threads while another process breaks the lease, and from eight threads
// at once. (A user who may only
// read a file meets the check through the zavevuv command's table.) The test preload is
// loaded; a test that wants a fault sets ZAVEVUV_FAULT.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/falloc.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zavevuv.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "files.h"
#include "wavgen.h"

namespace {

// 1,000 frames of 16-bit stereo, the sizes as a recorder leaves them before
// its first sample, and the same repaired.
const std::string kCrashed =
    wavgen::Build({.riff = 36, .channels = 2, .samples = wavgen::Tone(4000), .stored = 0});
const std::string kRepaired = wavgen::Build({.channels = 2, .samples = wavgen::Tone(4000)});

// kCrashed at `path`, grown sparsely to `length` bytes when that is longer.
void Crashed(const std::string& path, std::uint64_t length = 0) {
  WriteFile(path, kCrashed);
  ASSERT_EQ(length > kCrashed.size() ? truncate(path.c_str(), static_cast<off_t>(length)) : 0, 0);
}

zavevuv_report Report() {
  zavevuv_report r{};
  r.size = sizeof r;
  return r;
}

struct FdRow {
  const char* name;
  int flags;
  bool repair;
  int outcome, error, writeError;
};

// A descriptor the caller holds: used as it was opened, its offset kept, left
// open; one that cannot serve the call is refused and the file left as it was.
TEST(Descriptors, AreUsedAsOpenedAndLeftOpen) {
  const FdRow rows[] = {
      {"read-only, repair", O_RDONLY, true, ZAVEVUV_CANNOT_OPEN, EBADF, EBADF},
      {"O_APPEND, repair", O_RDWR | O_APPEND, true, ZAVEVUV_CANNOT_OPEN, EINVAL, EINVAL},
      {"O_APPEND, check", O_RDWR | O_APPEND, false, ZAVEVUV_FIXED, 0, EINVAL},
      {"O_PATH, check", O_PATH, false, ZAVEVUV_CANNOT_OPEN, EBADF, EBADF},
      {"read-write, repair", O_RDWR, true, ZAVEVUV_FIXED, 0, 0},
  };
  const TempDir dir;
  const std::string path = dir / "held.wav";
  for (const FdRow& row : rows) {
    SCOPED_TRACE(row.name);
    Crashed(path);
    const int fd = open(path.c_str(), row.flags);
    lseek(fd, 123, SEEK_SET);
    zavevuv_report r = Report();
    EXPECT_EQ(row.repair ? zavevuv_repair_fd(fd, &r) : zavevuv_check_fd(fd, &r), row.outcome);
    EXPECT_EQ(r.error, row.error);
    EXPECT_EQ(r.write_error, row.writeError);
    const bool repaired = row.repair && row.outcome == ZAVEVUV_FIXED;
    EXPECT_EQ(ReadFile(path), repaired ? kRepaired : kCrashed);
    EXPECT_EQ(repaired ? zavevuv_repair_fd(fd, &r) : ZAVEVUV_CORRECT, ZAVEVUV_CORRECT);
    EXPECT_EQ(row.flags == O_PATH ? 123 : lseek(fd, 0, SEEK_CUR), 123);
    EXPECT_EQ(close(fd), 0);
  }
  zavevuv_report r = Report();
  EXPECT_EQ(zavevuv_check_fd(-1, &r), ZAVEVUV_CANNOT_OPEN);
  EXPECT_EQ(r.error, EBADF);
}

// Past 4 GiB through a descriptor, which no insert is made on: the sizes say
// "to the end", the report that an insert would have made it RF64.
TEST(Descriptors, PastFourGiBSayToTheEnd) {
  const TempDir dir;
  Crashed(dir / "big.wav", 5ULL << 30U);
  const int fd = open((dir / "big.wav").c_str(), O_RDWR);
  zavevuv_report r = Report();
  EXPECT_EQ(zavevuv_repair_fd(fd, &r), ZAVEVUV_TO_END);
  EXPECT_TRUE(r.insert != 0 && r.rf64 == 0);
  EXPECT_EQ(zavevuv_repair_fd(fd, &r), ZAVEVUV_TOO_LARGE);
  EXPECT_EQ(r.fields, 0U);
  close(fd);
}

// A file that only the callback reads: `bytes`, then zeros to `length`.
struct Memory {
  std::string bytes;
  std::uint64_t length;
  bool fail = false;
  int Decide(std::size_t given, zavevuv_plan* plan, zavevuv_report* report) {
    const auto read = [](void* user, std::uint64_t at, void* out, std::size_t size) {
      const auto* m = static_cast<const Memory*>(user);
      if (m->fail || at + size > m->length) {
        return -1;
      }
      std::memset(out, 0, size);
      if (at < m->bytes.size()) {
        std::memcpy(out, m->bytes.data() + at, std::min<std::size_t>(size, m->bytes.size() - at));
      }
      return 0;
    };
    return zavevuv_decide(bytes.data(), given, length, read, this, plan, report);
  }
};

TEST(Decide, ReadsTheRestThroughTheCallback) {
  Memory m{kCrashed, kCrashed.size()};
  zavevuv_plan p{};
  p.size = sizeof p;
  zavevuv_report r = Report();
  EXPECT_EQ(m.Decide(12, &p, &r), ZAVEVUV_FIXED);
  EXPECT_EQ(p.insert, ZAVEVUV_INSERT_NONE);
  EXPECT_EQ(r.frames, 1000U);
  for (unsigned i = 0; i < p.count; ++i) {
    m.bytes.replace(p.fields[i].offset, p.fields[i].width,
                    reinterpret_cast<const char*>(p.fields[i].bytes), p.fields[i].width);
  }
  EXPECT_EQ(m.bytes, kRepaired);
  EXPECT_EQ(m.Decide(m.bytes.size(), &p, nullptr), ZAVEVUV_CORRECT);
  EXPECT_EQ(p.count, 0U);
  m.fail = true;
  EXPECT_EQ(m.Decide(12, &p, &r), ZAVEVUV_READ_FAILED);
  EXPECT_EQ(r.error, 0);
  // 5 GiB that only the callback knows of: an insert would make it RF64.
  m = {kCrashed, 5ULL << 30U};
  EXPECT_EQ(m.Decide(m.bytes.size(), &p, &r), ZAVEVUV_TO_END);
  EXPECT_TRUE(p.insert == ZAVEVUV_INSERT_MAKE && r.insert != 0);
  EXPECT_EQ(p.audio_bytes, m.length - 44);
  std::array<char, 4096> block{};
  ASSERT_EQ(zavevuv_head_block(&p, 4096, block.data(), block.size()), 0);
  const std::string head(block.data(), 32);
  EXPECT_EQ(head.substr(0, 4) + head.substr(12, 4), "RF64ds64");
  EXPECT_EQ(head.substr(28, 4), wavgen::Le32(static_cast<std::uint32_t>(p.audio_bytes)));
  EXPECT_EQ(zavevuv_head_block(&p, 1000, block.data(), block.size()), ZAVEVUV_INVALID);
  EXPECT_EQ(zavevuv_head_block(&p, 8192, block.data(), block.size()), ZAVEVUV_INVALID);
  EXPECT_EQ(zavevuv_decide(nullptr, 5, 0, nullptr, nullptr, &p, nullptr), ZAVEVUV_INVALID);
}

// A caller built against the 1.3 report, one built against a larger report,
// and ones whose report holds no outcome: each gets what its size holds and
// learns how much; no byte past that is written.
TEST(Reports, FillWhatTheirSizeHolds) {
  const TempDir dir;
  Crashed(dir / "old.wav");
  const std::size_t v13 = offsetof(zavevuv_report, write_error), ours = sizeof(zavevuv_report);
  struct {
    std::size_t size, filled;
    int outcome;
  } const rows[] = {{v13, v13, ZAVEVUV_FIXED},
                    {ours + 16, ours, ZAVEVUV_FIXED},
                    {0, 0, ZAVEVUV_INVALID},
                    {sizeof(std::size_t), sizeof(std::size_t), ZAVEVUV_INVALID}};
  for (const auto& row : rows) {
    alignas(zavevuv_report) std::array<unsigned char, sizeof(zavevuv_report) + 16> bytes{};
    bytes.fill(0xAA);
    std::memcpy(bytes.data(), &row.size, sizeof row.size);
    const int outcome =
        zavevuv_check((dir / "old.wav").c_str(), reinterpret_cast<zavevuv_report*>(bytes.data()));
    std::size_t filled = 0;
    std::memcpy(&filled, bytes.data(), sizeof filled);
    EXPECT_EQ(outcome, row.outcome) << row.size;
    EXPECT_EQ(filled, row.filled) << row.size;
    const std::size_t end = std::max(row.filled, sizeof(std::size_t));
    EXPECT_EQ(std::count(bytes.begin() + static_cast<long>(end), bytes.end(), 0xAA),
              static_cast<long>(bytes.size() - end))
        << row.size;
  }
}

// Another process that holds the file (its OFD or POSIX lock, its flock as
// flock(1) takes it, its write lease, which it keeps: SIGIO ignored) is a
// live process saying the file is in use: nothing is written, and the
// outcome says to try again.
TEST(Busy, AnotherProcessHoldsTheFile) {
  const TempDir dir;
  constexpr int kFlockEx = -LOCK_EX, kFlockSh = -LOCK_SH;  // flock(2), not fcntl(2)
  const std::tuple<const char*, int, bool> rows[] = {
      {"OFD lock", F_OFD_SETLK, false},
      {"POSIX lock", F_SETLK, false},
      {"flock -x", kFlockEx, false},
      {"flock -s", kFlockSh, false},
      {"lease", F_SETLEASE, false},
      {"lease, a check", F_SETLEASE, true},
      {"read lease: only a write held back", F_RDLCK, false}};
  std::vector<pid_t> holders;
  std::vector<std::thread> calls;
  std::array<std::pair<int, zavevuv_report>, std::size(rows)> seen{};
  for (std::size_t i = 0; i < std::size(rows); ++i) {  // each on a file of its own, at once
    const auto& [name, command, check] = rows[i];
    const std::string path = dir / (std::to_string(i) + ".wav");
    Crashed(path);
    std::array<int, 2> ready{};
    ASSERT_EQ(pipe(ready.data()), 0);
    const pid_t holder = fork();
    if (holder == 0) {
      signal(SIGIO, SIG_IGN);
      const bool lease = command == F_SETLEASE || command == F_RDLCK;
      const int fd = open(path.c_str(), lease ? O_RDONLY : O_RDWR);
      struct flock lock {};
      lock.l_type = F_WRLCK;
      const bool held = lease ? fcntl(fd, F_SETLEASE, command == F_RDLCK ? F_RDLCK : F_WRLCK) == 0
                        : command < 0 ? flock(fd, -command) == 0
                                      : fcntl(fd, command, &lock) == 0;
      static_cast<void>(write(ready[1], held ? "y" : "n", 1));
      pause();
      _exit(0);
    }
    holders.push_back(holder);
    char held = 0;
    static_cast<void>(read(ready[0], &held, 1));
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(held, 'y') << name;
    calls.emplace_back([&seen, i, path, check = check] {
      seen[i].second = Report();
      seen[i].first = (check ? zavevuv_check : zavevuv_repair)(path.c_str(), &seen[i].second);
    });
  }
  for (std::size_t i = 0; i < std::size(rows); ++i) {
    calls[i].join();
    kill(holders[i], SIGKILL);
    waitpid(holders[i], nullptr, 0);
    const char* name = std::get<0>(rows[i]);
    EXPECT_EQ(seen[i].first, ZAVEVUV_BUSY) << name;
    EXPECT_EQ(seen[i].second.error, EAGAIN) << name;
    EXPECT_EQ(ReadFile(dir / (std::to_string(i) + ".wav")), kCrashed) << name;
  }
}

// The names the JSON of the zavevuv command shows are checked there.
TEST(Names, OutOfRangeIsUnknown) {
  EXPECT_EQ(zavevuv_version_number(), ZAVEVUV_VERSION_NUMBER);
  EXPECT_STREQ(zavevuv_outcome_name(-1), "unknown");
  EXPECT_STREQ(zavevuv_outcome_name(ZAVEVUV_BUSY), "busy");
  EXPECT_STREQ(zavevuv_outcome_name(ZAVEVUV_HEADER_GONE + 1), "unknown");
  zavevuv_report r = Report();
  EXPECT_EQ(zavevuv_check(nullptr, &r), ZAVEVUV_INVALID);
  EXPECT_EQ(r.outcome, ZAVEVUV_INVALID);
}

#ifndef ZAVEVUV_SANITIZED
bool starve = false;  // this program's malloc, which the library's operator new calls, fails
#endif

// Memory that runs out inside a repair: said, and the file repaired next time.
TEST(Memory, RunningOutIsAnOutcome) {
#ifdef ZAVEVUV_SANITIZED
  GTEST_SKIP() << "the sanitizers' malloc is their own";
#else
  const TempDir dir;
  const std::string path = dir / "starved.wav";
  Crashed(path);
  zavevuv_report r = Report();
  starve = true;
  const int outcome = zavevuv_repair(path.c_str(), &r);
  starve = false;
  EXPECT_EQ(outcome, ZAVEVUV_NO_MEMORY);
  EXPECT_EQ(r.error, ENOMEM);
  EXPECT_EQ(zavevuv_repair(path.c_str(), nullptr), ZAVEVUV_FIXED);
#endif
}

constexpr std::size_t kStack = 64U << 10U, kGuard = 4096;

// Runs `call` on a thread whose 64 KiB stack (a guard page below it) is filled
// with a pattern: the deepest byte changed is as deep as the call went.
std::size_t StackUsed(const std::function<void()>& call) {
  auto* m = static_cast<unsigned char*>(mmap(nullptr, kGuard + kStack, PROT_READ | PROT_WRITE,
                                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0));
  mprotect(m, kGuard, PROT_NONE);
  std::memset(m + kGuard, 0xA5, kStack);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstack(&attr, m + kGuard, kStack);
  std::pair<const std::function<void()>*, std::uintptr_t> job{&call, 0};
  pthread_t thread;
  pthread_create(
      &thread, &attr,
      [](void* arg) -> void* {
        auto* j = static_cast<decltype(job)*>(arg);
        volatile char entry = 0;
        (*j->first)();
        j->second = reinterpret_cast<std::uintptr_t>(&entry);
        return nullptr;
      },
      &job);
  pthread_join(thread, nullptr);
  std::size_t low = kGuard;
  while (low < kGuard + kStack && m[low] == 0xA5) {
    ++low;
  }
  munmap(m, kGuard + kStack);
  pthread_attr_destroy(&attr);
  return job.second - reinterpret_cast<std::uintptr_t>(m + low);
}

TEST(Embedding, EveryCallFitsASmallStack) {
#ifdef ZAVEVUV_SANITIZED
  const std::size_t most = kStack;  // the sanitizers' frames are larger
#else
  const std::size_t most = 16U << 10U;
#endif
  const TempDir dir;
  const std::string path = dir / "t.wav";
  const auto on_fd = [&](bool repair) {
    const int fd = open(path.c_str(), repair ? O_RDWR : O_RDONLY);
    const int outcome = repair ? zavevuv_repair_fd(fd, nullptr) : zavevuv_check_fd(fd, nullptr);
    close(fd);
    return outcome;
  };
  const auto decide = [] {  // and the head block of the insert it plans
    Memory m{kCrashed, 5ULL << 30U};
    zavevuv_plan plan{};
    plan.size = sizeof plan;
    static std::array<char, 4096> block;
    const int outcome = m.Decide(m.bytes.size(), &plan, nullptr);
    return zavevuv_head_block(&plan, 4096, block.data(), block.size()) == 0 ? outcome : -1;
  };
  const std::tuple<const char*, std::uint64_t, std::function<int()>> calls[] = {
      {"check", 0, [&] { return zavevuv_check(path.c_str(), nullptr); }},
      {"repair", 0, [&] { return zavevuv_repair(path.c_str(), nullptr); }},
      {"check_fd", 0, [&] { return on_fd(false); }},
      {"repair_fd", 0, [&] { return on_fd(true); }},
      {"repair, 5 GiB", 5ULL << 30U, [&] { return zavevuv_repair(path.c_str(), nullptr); }},
      {"decide, head_block", 0, decide},
  };
  for (const auto& [name, length, call] : calls) {
    Crashed(path, length);
    int outcome = -1;
    const std::size_t used = StackUsed([&] { outcome = call(); });
    EXPECT_TRUE(outcome == ZAVEVUV_FIXED || outcome == ZAVEVUV_TO_END) << name;
    EXPECT_LE(used, most) << name;
    std::cout << name << ": " << used << " bytes of stack\n";
  }
}

std::atomic<int> urgent = 0;
std::atomic<bool> sent = false;  // the last SIGURG came as the host sent it

// Repairs `path` while another process, 150 ms in, opens it (so breaks the
// lease) or sends this one SIGURG: the outcome, or -1 if that failed.
int RepairWhile(const std::string& path, bool opens, zavevuv_report* report) {
  const pid_t parent = getpid();
  const pid_t other = fork();
  if (other == 0) {
    usleep(150000);
    _exit(opens ? static_cast<int>(open(path.c_str(), O_RDONLY) < 0)
                : sigqueue(parent, SIGURG, sigval{.sival_int = 42}));
  }
  const int outcome = zavevuv_repair(path.c_str(), report);
  int status = 0;
  waitpid(other, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? outcome : -1;
}

// Each sync slowed. A host with a SIGURG handler of its own, repairing on a
// worker thread: its own SIGURG reaches the handler once, as sent (si_code
// and value kept), and another process opening the file sends it none (no
// lease is taken). With SIGURG left to its default and blocked, a lease
// broken leaves none pending.
TEST(Embedding, TheHostsSigurgIsItsOwn) {
  const TempDir dir;
  setenv("ZAVEVUV_FAULT", "slow-sync", 1);
  struct sigaction act {};
  act.sa_flags = SA_SIGINFO;
  act.sa_sigaction = [](int, siginfo_t* info, void*) {
    urgent.fetch_add(1);
    sent.store(info->si_code == SI_QUEUE && info->si_value.sival_int == 42);
  };
  sigaction(SIGURG, &act, nullptr);
  // On the calling thread, the one that takes the host's signals; on a worker.
  for (const auto& [opens, worker, seen] :
       {std::tuple{false, false, 1}, {false, true, 2}, {true, true, 2}, {true, false, 2}}) {
    Crashed(dir / "host.wav");
    int outcome = -1;
    const auto repair = [&] { outcome = RepairWhile(dir / "host.wav", opens, nullptr); };
    worker ? std::thread(repair).join() : repair();
    EXPECT_EQ(outcome, ZAVEVUV_FIXED);
    EXPECT_EQ(urgent.load(), seen) << (opens ? "a SIGURG the host never sent" : "its own, lost");
    EXPECT_TRUE(sent.load()) << "its own, re-sent without its si_code and value";
  }
  // A host that blocks SIGURG to take it with sigwaitinfo: a broken lease
  // leaves none pending, and its own comes as sent.
  signal(SIGURG, SIG_DFL);
  sigset_t urg;
  sigemptyset(&urg);
  sigaddset(&urg, SIGURG);
  sigprocmask(SIG_BLOCK, &urg, nullptr);
  for (const bool opens : {true, false}) {
    Crashed(dir / "host.wav");
    EXPECT_EQ(RepairWhile(dir / "host.wav", opens, nullptr), ZAVEVUV_FIXED);
    const struct timespec now {};
    siginfo_t info{};
    const bool got = sigtimedwait(&urg, &info, &now) == SIGURG;
    EXPECT_EQ(got, !opens) << (opens ? "a SIGURG the host never sent" : "its own, lost");
    EXPECT_TRUE(opens || (info.si_code == SI_QUEUE && info.si_value.sival_int == 42))
        << "its own, re-sent without its si_code and value";
  }
  sigprocmask(SIG_UNBLOCK, &urg, nullptr);
  unsetenv("ZAVEVUV_FAULT");
}

// A host of two threads, neither blocking a signal, has a file past 4 GiB
// made RF64 by an inserted block, slowed, while another process opens it: the
// lease's break ends no thread of it.
TEST(Embedding, LeaseBrokenMidInsert) {
  const TempDir dir;
  Crashed(dir / "lease.wav", 5ULL << 30U);
  setenv("ZAVEVUV_FAULT", "slow-insert", 1);
  std::thread idle([] { std::this_thread::sleep_for(std::chrono::seconds(2)); });
  zavevuv_report r = Report();
  const int outcome = RepairWhile(dir / "lease.wav", true, &r);
  idle.join();
  unsetenv("ZAVEVUV_FAULT");
  // Skipped only where the folder's file system really refuses an insert.
  const int probe = open((dir / "probe").c_str(), O_RDWR | O_CREAT, 0600);
  const bool inserts =
      ftruncate(probe, 1 << 16) == 0 && fallocate(probe, FALLOC_FL_INSERT_RANGE, 0, 4096) == 0;
  close(probe);
  if (!inserts) {
    GTEST_SKIP() << "no insert on the file system of " << dir.path;
  }
  EXPECT_EQ(outcome, ZAVEVUV_FIXED);
  EXPECT_EQ(r.rf64, 1);
  EXPECT_EQ(ReadHead(dir / "lease.wav", 4), "RF64");
}

// Eight threads, each repairing a file of its own over and over: CI runs
// this under ThreadSanitizer.
TEST(Threads, RepairAtOnce) {
  const TempDir dir;
  std::atomic<int> wrong = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      const std::string path = dir / ("thread" + std::to_string(t) + ".wav");
      for (std::uint32_t audio = 4000; audio < 4100; audio += 4) {
        WriteFile(path,
                  wavgen::Build(
                      {.riff = 36, .channels = 2, .samples = wavgen::Tone(audio), .stored = 0}));
        zavevuv_report r = Report();
        const bool right = zavevuv_check(path.c_str(), &r) == ZAVEVUV_FIXED &&
                           zavevuv_repair(path.c_str(), &r) == ZAVEVUV_FIXED &&
                           r.audio_bytes == audio &&
                           zavevuv_repair(path.c_str(), &r) == ZAVEVUV_CORRECT;
        wrong += static_cast<int>(!right);
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(wrong.load(), 0);
}

// Two threads of one host on one file, the first's sync slower than a lock
// is waited for: the second waits its turn, then finds the file correct
// (where its descriptor was open first, the first has no lease).
TEST(Threads, OneFileTakesTurns) {
  const TempDir dir;
  setenv("ZAVEVUV_FAULT", "slow-sync", 1);
  setenv("ZAVEVUV_FAULT_PAUSE", "2500", 1);
  const std::array rows = {"by path, twice", "by path, then a descriptor"};
  std::vector<std::thread> threads;
  std::array<std::array<int, 2>, rows.size()> seen{};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    Crashed(dir / (std::to_string(i) + ".wav"));
    for (std::size_t t = 0; t < 2; ++t) {
      threads.emplace_back([&seen, i, t, path = dir / (std::to_string(i) + ".wav")] {
        const bool fd = i == 1 && t == 1;
        const int own = fd ? open(path.c_str(), O_RDWR) : -1;  // open before the first's lease
        std::this_thread::sleep_for(std::chrono::milliseconds(100 + 200 * t));  // the first has it
        zavevuv_report r = Report();
        seen[i][t] = fd ? zavevuv_repair_fd(own, &r) : zavevuv_repair(path.c_str(), &r);
        static_cast<void>(close(own));
      });
    }
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  unsetenv("ZAVEVUV_FAULT");
  unsetenv("ZAVEVUV_FAULT_PAUSE");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(seen[i], (std::array<int, 2>{ZAVEVUV_FIXED, ZAVEVUV_CORRECT})) << rows[i];
    EXPECT_EQ(ReadFile(dir / (std::to_string(i) + ".wav")), kRepaired) << rows[i];
  }
}

}  // namespace

#ifndef ZAVEVUV_SANITIZED
extern "C" void* __libc_malloc(std::size_t size);  // NOLINT(bugprone-reserved-identifier)
extern "C" void* malloc(std::size_t size) noexcept {
  if (starve) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_malloc(size);
}
#endif
