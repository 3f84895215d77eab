/* SPDX-License-Identifier: MIT */
/* Eight threads, each repairing a file of its own, over and over: run under
 * ThreadSanitizer in CI. threads_test DIR */
#define _GNU_SOURCE
#include <pthread.h>
#include <zavevuv.h>

#include "wav.h"

enum { kThreads = 8, kRounds = 25 };

struct job {
  char path[4200];
  int wrong; /* outcomes not as expected */
};

static void *work(void *arg) {
  struct job *job = arg;
  for (int round = 0; round < kRounds; round++) {
    const uint32_t audio = 4000u + 4u * (uint32_t)round;
    if (make_wav(job->path, 0, audio, 0) != 0) {
      job->wrong++;
      continue;
    }
    struct zavevuv_report r = {.size = sizeof r};
    job->wrong += zavevuv_check(job->path, &r) != ZAVEVUV_FIXED;
    job->wrong += zavevuv_repair(job->path, &r) != ZAVEVUV_FIXED || r.audio_bytes != audio;
    job->wrong += zavevuv_repair(job->path, &r) != ZAVEVUV_CORRECT;
  }
  return NULL;
}

int main(int argc, char **argv) {
  if (argc != 2) return 2;
  static struct job jobs[kThreads];
  pthread_t threads[kThreads];
  for (int i = 0; i < kThreads; i++) {
    snprintf(jobs[i].path, sizeof jobs[i].path, "%s/thread%d.wav", argv[1], i);
    if (pthread_create(&threads[i], NULL, work, &jobs[i]) != 0) return 1;
  }
  int wrong = 0;
  for (int i = 0; i < kThreads; i++) {
    pthread_join(threads[i], NULL);
    wrong += jobs[i].wrong;
  }
  printf("%d threads, %d repairs each: %d outcome(s) wrong\n", kThreads, kRounds, wrong);
  return wrong != 0;
}
