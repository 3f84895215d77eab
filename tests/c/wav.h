/* SPDX-License-Identifier: MIT */
/* What the C tests share: a scratch folder, a failure count, and a 16-bit
 * stereo PCM WAVE file made as a recorder leaves it. */
#ifndef ZAVEVUV_TEST_WAV_H
#define ZAVEVUV_TEST_WAV_H

#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int failures __attribute__((unused));
static char dir[4096] __attribute__((unused)); /* the scratch folder, from argv[1] */

/* Counts and prints a failed condition, with a printf-style note. */
#define EXPECT(cond, ...)                                        \
  do {                                                           \
    if (!(cond)) {                                               \
      ++failures;                                                \
      fprintf(stdout, "%s:%d: %s: ", __FILE__, __LINE__, #cond); \
      fprintf(stdout, __VA_ARGS__);                              \
      fputc('\n', stdout);                                       \
    }                                                            \
  } while (0)

/* `name` in the scratch folder. */
static inline const char *at(const char *name) {
  static char path[4200];
  snprintf(path, sizeof path, "%s/%s", dir, name);
  return path;
}

static inline void put32(unsigned char *p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = (unsigned char)(v >> (8 * i));
}

static inline uint32_t get32(const unsigned char *p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

/* The 44-byte header of a file with `data` bytes of audio whose header
 * states `stated` (and a RIFF size to match it). */
static inline void wav_header(unsigned char h[44], uint32_t stated) {
  memcpy(h, "RIFF\0\0\0\0WAVEfmt \20\0\0\0", 20);
  put32(h + 4, stated + 36);
  const unsigned char fmt[16] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
  memcpy(h + 20, fmt, 16);
  memcpy(h + 36, "data", 4);
  put32(h + 40, stated);
}

/* Writes such a file at `path` with `data` bytes of audio; 0 on success. A
 * `length` past the audio grows the file sparsely (zeros). */
static inline int make_wav(const char *path, uint32_t stated, uint32_t data, uint64_t length) {
  unsigned char h[44];
  wav_header(h, stated);
  const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return -1;
  unsigned char *audio = calloc(1, data + 1u);
  for (uint32_t i = 0; i < data; i++) audio[i] = (unsigned char)(i * 7u + 1u);
  int bad = write(fd, h, 44) != 44 || write(fd, audio, data) != (ssize_t)data;
  free(audio);
  if (length > 44u + data) bad |= ftruncate(fd, (off_t)length) != 0;
  return close(fd) != 0 || bad ? -1 : 0;
}

/* The file's first `n` bytes into `out`; the count read. */
static inline size_t read_head(const char *path, unsigned char *out, size_t n) {
  const int fd = open(path, O_RDONLY);
  if (fd < 0) return 0;
  const ssize_t got = pread(fd, out, n, 0);
  close(fd);
  return got < 0 ? 0 : (size_t)got;
}

#endif
