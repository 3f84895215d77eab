/* SPDX-License-Identifier: MIT */
/* A host of several threads, none blocking any signal, repairs a file past
 * 4 GiB by inserting a block under a lease while another process opens the
 * file: the lease's break must end no thread of it. Run with the test
 * preload's slow-insert fault, so the open lands while the lease is held.
 *   lease_test DIR */
#define _GNU_SOURCE
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <zavevuv.h>

#include "wav.h"

static void *idle(void *arg) {
  (void)arg;
  const struct timespec pause = {2, 0};
  nanosleep(&pause, NULL);
  return NULL;
}

int main(int argc, char **argv) {
  if (argc != 2) return 2;
  char path[4200];
  snprintf(path, sizeof path, "%s/lease.wav", argv[1]);
  if (make_wav(path, 0, 4000, (uint64_t)5 << 30) != 0) return 2;
  pthread_t other;
  pthread_create(&other, NULL, idle, NULL);
  const pid_t reader = fork();
  if (reader == 0) { /* opens the file mid-insert: the open waits out the lease */
    const struct timespec pause = {0, 150000000};
    nanosleep(&pause, NULL);
    const int fd = open(path, O_RDONLY);
    _exit(fd < 0);
  }
  struct zavevuv_report r = {.size = sizeof r};
  const int outcome = zavevuv_repair(path, &r);
  int status = 0;
  waitpid(reader, &status, 0);
  pthread_join(other, NULL);
  unsigned char head[4];
  read_head(path, head, 4);
  printf("repair: %s, rf64 %d, the reader %s\n", zavevuv_outcome_name(outcome), r.rf64,
         WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "opened the file" : "failed");
  unlink(path);
  if (outcome == ZAVEVUV_TO_END) {
    printf("SKIPPED: no insert on this file system\n");
    return 0;
  }
  return outcome != ZAVEVUV_FIXED || !r.rf64 || memcmp(head, "RF64", 4) != 0;
}
