/* SPDX-License-Identifier: MIT */
/* Eight threads, each repairing a file of its own, over and over: run under
 * ThreadSanitizer in CI. Built as C11 with every warning an error, it is also
 * the proof that the header serves a C program. threads_test DIR */
#define _GNU_SOURCE
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>
#include <zavevuv.h>

enum { kThreads = 8, kRounds = 25 };

struct job {
  char path[4200];
  int wrong; /* outcomes not as expected */
};

static void put32(unsigned char *p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = (unsigned char)(v >> (8 * i));
}

/* A 16-bit stereo take of `audio` bytes whose sizes say 0, as a recorder
 * leaves it before its first sample; 0 on success. */
static int crashed(const char *path, uint32_t audio) {
  static const unsigned char fmt[16] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
  unsigned char file[44 + 4100] = "RIFF\0\0\0\0WAVEfmt \20\0\0\0";
  put32(file + 4, 36);
  memcpy(file + 20, fmt, sizeof fmt);
  memcpy(file + 36, "data\0\0\0\0", 8);
  for (uint32_t i = 0; i < audio; i++) file[44 + i] = (unsigned char)(i * 7u + 1u);
  FILE *f = fopen(path, "wb");
  return f == NULL || fwrite(file, 1, 44 + audio, f) != 44 + audio || fclose(f) != 0;
}

static void *work(void *arg) {
  struct job *job = arg;
  for (int round = 0; round < kRounds; round++) {
    const uint32_t audio = 4000u + 4u * (uint32_t)round;
    if (crashed(job->path, audio) != 0) {
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
