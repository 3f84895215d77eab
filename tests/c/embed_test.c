/* SPDX-License-Identifier: MIT */
/* The library inside another program: each entry point on a 64 KiB thread
 * stack (and how much of it a call uses), a host's own SIGURG, a host that
 * blocks SIGURG everywhere, and a check by a user who may only read. Run
 * with the test preload's slow-sync fault, so that each sync holds the
 * lease open for a while.
 *   embed_test DIR */
#define _GNU_SOURCE
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <stdint.h>
#include <sys/wait.h>
#include <time.h>
#include <zavevuv.h>

#include "wav.h"

static void expect(int ok, const char *what) {
  printf("%s: %s\n", ok ? "ok" : "FAIL", what);
  failures += !ok;
}

enum { kStack = 64 << 10, kGuard = 4096, kMost = 16 << 10 };

struct call {
  const char *name;
  int (*run)(const char *path);
  uint64_t length; /* of the crashed take it runs on */
  int want, outcome;
  size_t used;
};

static int check(const char *p) { return zavevuv_check(p, NULL); }
static int repair(const char *p) { return zavevuv_repair(p, NULL); }
static int on_fd(const char *p, int repairing) {
  const int fd = open(p, repairing ? O_RDWR : O_RDONLY);
  const int outcome = repairing ? zavevuv_repair_fd(fd, NULL) : zavevuv_check_fd(fd, NULL);
  close(fd);
  return outcome;
}
static int check_fd(const char *p) { return on_fd(p, 0); }
static int repair_fd(const char *p) { return on_fd(p, 1); }
static int from_memory(void *user, uint64_t offset, void *buffer, size_t size) {
  (void)user;
  (void)offset;
  memset(buffer, 0, size);
  return 0;
}
static int decide(const char *p) { /* then the head block of the insert it plans */
  unsigned char head[44];
  wav_header(head, 0xFFFFFFFFu);
  (void)p;
  static unsigned char block[4096];
  struct zavevuv_plan plan = {.size = sizeof plan};
  const int outcome =
      zavevuv_decide(head, sizeof head, (uint64_t)5 << 30, from_memory, NULL, &plan, NULL);
  return zavevuv_head_block(&plan, 4096, block, sizeof block) == 0 ? outcome : -1;
}

static void *on_small_stack(void *arg) {
  struct call *c = arg;
  volatile char entry = 0;
  c->outcome = c->run(at(c->name));
  c->used = (uintptr_t)&entry;
  return NULL;
}

/* Runs `c` on a thread whose 64 KiB stack (a guard page below) is filled
 * with a pattern: the deepest byte changed is as deep as the call went. */
static void measure(struct call *c) {
  make_wav(at(c->name), 0, 4000, c->length);
  unsigned char *m = mmap(NULL, kGuard + kStack, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  mprotect(m, kGuard, PROT_NONE);
  memset(m + kGuard, 0xA5, kStack);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstack(&attr, m + kGuard, kStack);
  pthread_t t;
  pthread_create(&t, &attr, on_small_stack, c);
  pthread_join(t, NULL);
  size_t low = kGuard;
  while (low < kGuard + (size_t)kStack && m[low] == 0xA5) low++;
  c->used -= (uintptr_t)(m + low);
  munmap(m, kGuard + kStack);
  pthread_attr_destroy(&attr);
  unlink(at(c->name));
}

static void test_stacks(void) {
  struct call calls[] = {
      {"check", check, 0, ZAVEVUV_FIXED, 0, 0},
      {"repair", repair, 0, ZAVEVUV_FIXED, 0, 0},
      {"check_fd", check_fd, 0, ZAVEVUV_FIXED, 0, 0},
      {"repair_fd", repair_fd, 0, ZAVEVUV_FIXED, 0, 0},
      {"repair (5 GiB)", repair, (uint64_t)5 << 30, ZAVEVUV_FIXED, 0, 0},
      {"decide, head_block", decide, 0, ZAVEVUV_TO_END, 0, 0},
  };
  for (size_t i = 0; i < sizeof calls / sizeof calls[0]; i++) {
    struct call *c = &calls[i];
    measure(c);
    char what[200];
    snprintf(what, sizeof what, "%s on a 64 KiB stack: %s, %zu bytes of stack", c->name,
             zavevuv_outcome_name(c->outcome), c->used);
#ifdef ZAVEVUV_SANITIZED
    const size_t most = kStack; /* the sanitizers' frames are larger */
#else
    const size_t most = kMost;
#endif
    expect((c->outcome == c->want || c->outcome == ZAVEVUV_TO_END) && c->used <= most, what);
  }
}

static volatile sig_atomic_t urgent;
static void on_urg(int signal) {
  (void)signal;
  urgent++;
}

/* A repair held open by its slow sync while another process sends the host
 * a SIGURG (`opener` 0), or opens the file and so breaks the lease. */
static int repair_while(int opener) {
  const char *path = at("host.wav");
  make_wav(path, 0, 4000, 0);
  const pid_t parent = getpid();
  const pid_t other = fork();
  if (other == 0) {
    const struct timespec pause = {0, 100000000};
    nanosleep(&pause, NULL);
    _exit(opener ? open(path, O_RDONLY) < 0 : kill(parent, SIGURG) != 0);
  }
  const int outcome = zavevuv_repair(path, NULL);
  int status;
  waitpid(other, &status, 0);
  return outcome == ZAVEVUV_FIXED && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

static void test_signals(void) {
  struct sigaction act = {.sa_handler = on_urg};
  sigaction(SIGURG, &act, NULL);
  const int fixed = repair_while(0);
  expect(fixed && urgent == 1, "the host's SIGURG during a repair reaches its handler once");
  sigset_t urg, pending;
  sigemptyset(&urg);
  sigaddset(&urg, SIGURG);
  sigprocmask(SIG_BLOCK, &urg, NULL);
  const int broken = repair_while(1);
  sigpending(&pending);
  expect(broken && !sigismember(&pending, SIGURG),
         "SIGURG blocked, the lease broken: no SIGURG left pending");
  sigprocmask(SIG_UNBLOCK, &urg, NULL);
}

/* A user who may read the file but not write it: checked all the same. */
static void test_read_only(void) {
  /* In a folder of its own that the user can reach, whatever the scratch
   * folder's parents allow. */
  char folder[] = "/tmp/zavevuv-read-only-XXXXXX", path[64];
  if (mkdtemp(folder) == NULL || chmod(folder, 0755) != 0) {
    expect(0, "a folder for the read-only file");
    return;
  }
  snprintf(path, sizeof path, "%s/archive.wav", folder);
  make_wav(path, 0, 4000, 0);
  chmod(path, 0444);
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    struct zavevuv_report r = {.size = sizeof r};
    const int checked = zavevuv_check(path, &r) == ZAVEVUV_FIXED && r.write_error == EACCES;
    _exit(checked && zavevuv_repair(path, &r) == ZAVEVUV_CANNOT_OPEN ? 0 : 1);
  }
  int status;
  waitpid(child, &status, 0);
  expect(WIFEXITED(status) && WEXITSTATUS(status) == 0,
         "a file the user may only read: checked (EACCES for a repair), not repaired");
  unlink(path);
  rmdir(folder);
}

int main(int argc, char **argv) {
  if (argc != 2) return 2;
  snprintf(dir, sizeof dir, "%s", argv[1]);
  test_stacks();
  test_signals();
  test_read_only();
  return failures != 0;
}
