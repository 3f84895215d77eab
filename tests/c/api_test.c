/* SPDX-License-Identifier: MIT */
/* The C interface as a C11 program uses it: api_tests DIR (a scratch folder). */
#define _GNU_SOURCE
#include <errno.h>
#include <sys/stat.h>
#include <zavevuv.h>

#include "wav.h"

/* A descriptor the caller holds: repaired through it, left open where it
 * was; one not open as the call needs is refused with EBADF. */
static void test_descriptors(void) {
  const char *path = at("held");
  make_wav(path, 0, 4000, 0);
  const int ro = open(path, O_RDONLY);
  struct zavevuv_report r = {.size = sizeof r};
  EXPECT(zavevuv_repair_fd(ro, &r) == ZAVEVUV_CANNOT_OPEN && r.error == EBADF, "read-only %d %d",
         r.outcome, r.error);
  close(ro);
  /* pwrite on O_APPEND appends: such a descriptor is refused, and the file
   * left as it was, but checked. */
  const int ap = open(path, O_RDWR | O_APPEND);
  EXPECT(zavevuv_repair_fd(ap, &r) == ZAVEVUV_CANNOT_OPEN && r.error == EINVAL, "O_APPEND %d %d",
         r.outcome, r.error);
  EXPECT(zavevuv_check_fd(ap, &r) == ZAVEVUV_FIXED && r.write_error == EINVAL, "check O_APPEND");
  struct stat st;
  EXPECT(fstat(ap, &st) == 0 && st.st_size == 4044, "O_APPEND: %lld bytes", (long long)st.st_size);
  close(ap);
  const int op = open(path, O_PATH);
  EXPECT(zavevuv_check_fd(op, &r) == ZAVEVUV_CANNOT_OPEN && r.error == EBADF, "O_PATH %d %d",
         r.outcome, r.error);
  close(op);
  EXPECT(zavevuv_check_fd(-1, &r) == ZAVEVUV_CANNOT_OPEN && r.error == EBADF, "-1");
  const int fd = open(path, O_RDWR);
  lseek(fd, 123, SEEK_SET);
  EXPECT(zavevuv_repair_fd(fd, &r) == ZAVEVUV_FIXED && r.fields == 2, "repair_fd %d", r.outcome);
  EXPECT(lseek(fd, 0, SEEK_CUR) == 123, "the offset moved");
  EXPECT(zavevuv_repair_fd(fd, &r) == ZAVEVUV_CORRECT, "again %d", r.outcome);
  EXPECT(close(fd) == 0, "the descriptor was closed");
  unsigned char h[44];
  read_head(path, h, 44);
  EXPECT(get32(h + 4) == 4036 && get32(h + 40) == 4000, "sizes %u %u", get32(h + 4),
         get32(h + 40));

  /* Past 4 GiB with no room for ds64: the sizes say "to the end", and the
   * report says an insert would have made it RF64. */
  const char *big = at("big");
  make_wav(big, 0, 4000, (uint64_t)5 << 30);
  const int bfd = open(big, O_RDWR);
  EXPECT(zavevuv_repair_fd(bfd, &r) == ZAVEVUV_TO_END && r.insert && !r.rf64, "big %s",
         zavevuv_outcome_name(r.outcome));
  EXPECT(zavevuv_repair_fd(bfd, &r) == ZAVEVUV_TOO_LARGE && r.fields == 0, "big again %s",
         zavevuv_outcome_name(r.outcome));
  close(bfd);
  unlink(big);
}

/* An in-memory file for the decision: a header and audio, zeros after. */
struct memfile {
  unsigned char bytes[4044];
  uint64_t length;
  int fail;
};

static int read_mem(void *user, uint64_t offset, void *buffer, size_t size) {
  const struct memfile *m = user;
  if (m->fail || offset + size > m->length) return -1;
  memset(buffer, 0, size);
  if (offset < sizeof m->bytes) {
    const size_t n = sizeof m->bytes - offset < size ? sizeof m->bytes - offset : size;
    memcpy(buffer, m->bytes + offset, n);
  }
  return 0;
}

static void test_decide(void) {
  static struct memfile m;
  wav_header(m.bytes, 0);
  m.length = sizeof m.bytes;
  struct zavevuv_plan p = {.size = sizeof p};
  struct zavevuv_report r = {.size = sizeof r};
  /* Only the first 12 bytes given: the rest comes through the callback. */
  EXPECT(zavevuv_decide(m.bytes, 12, m.length, read_mem, &m, &p, &r) == ZAVEVUV_FIXED &&
             p.count == 2 && p.insert == ZAVEVUV_INSERT_NONE && r.frames == 1000,
         "decide %d count %u", p.outcome, p.count);
  for (unsigned i = 0; i < p.count; i++)
    memcpy(m.bytes + p.fields[i].offset, p.fields[i].bytes, p.fields[i].width);
  EXPECT(zavevuv_decide(m.bytes, sizeof m.bytes, m.length, read_mem, &m, &p, NULL) ==
             ZAVEVUV_CORRECT && p.count == 0,
         "after the fields %d", p.outcome);
  m.fail = 1;
  EXPECT(zavevuv_decide(m.bytes, 12, m.length, read_mem, &m, &p, &r) == ZAVEVUV_READ_FAILED &&
             r.error == 0,
         "a failed read %d", p.outcome);
  m.fail = 0;

  /* 5 GiB that only the callback knows of: an insert would make it RF64. */
  wav_header(m.bytes, 0);
  m.length = (uint64_t)5 << 30;
  EXPECT(zavevuv_decide(m.bytes, sizeof m.bytes, m.length, read_mem, &m, &p, &r) ==
             ZAVEVUV_TO_END && p.insert == ZAVEVUV_INSERT_MAKE && r.insert,
         "big %s", zavevuv_outcome_name(p.outcome));
  static unsigned char block[4096];
  EXPECT(zavevuv_head_block(&p, 4096, block, sizeof block) == 0 && memcmp(block, "RF64", 4) == 0 &&
             memcmp(block + 12, "ds64", 4) == 0 && get32(block + 28) == (uint32_t)p.audio_bytes,
         "head block");
  EXPECT(p.audio_bytes == m.length - 44, "audio %llu", (unsigned long long)p.audio_bytes);
  EXPECT(zavevuv_head_block(&p, 1000, block, sizeof block) == ZAVEVUV_INVALID, "b 1000");
  EXPECT(zavevuv_head_block(&p, 8192, block, sizeof block) == ZAVEVUV_INVALID, "short buffer");
  EXPECT(zavevuv_decide(NULL, 5, 0, NULL, NULL, &p, NULL) == ZAVEVUV_INVALID, "null head");
}

/* A caller built against the 1.3 report, one newer than ours, and one that
 * holds no outcome: each gets what its size holds, and learns how much. */
static void test_report_sizes(void) {
  make_wav(at("old"), 0, 4000, 0);
  union {
    struct zavevuv_report r;
    unsigned char bytes[sizeof(struct zavevuv_report) + 16];
  } u;
  const size_t v13 = offsetof(struct zavevuv_report, write_error);
  const size_t sizes[] = {v13, sizeof u, 0, sizeof(size_t)};
  const size_t filled[] = {v13, sizeof u.r, 0, sizeof(size_t)};
  for (int i = 0; i < 4; i++) {
    memset(&u, 0xAA, sizeof u);
    u.r.size = sizes[i];
    const int outcome = zavevuv_check(at("old"), &u.r);
    EXPECT(outcome == (i < 2 ? ZAVEVUV_FIXED : ZAVEVUV_INVALID) && u.r.size == filled[i],
           "size %zu: %s, %zu filled", sizes[i], zavevuv_outcome_name(outcome), u.r.size);
    const size_t end = i < 2 ? filled[i] : sizeof u.r.size;
    for (size_t b = end; b < sizeof u; b++)
      EXPECT(u.bytes[b] == 0xAA, "size %zu: byte %zu written", sizes[i], b);
  }
}

#ifndef ZAVEVUV_SANITIZED
/* Memory that runs out inside a call: this program's malloc, which the
 * library's operator new calls, fails while `starve` is set. */
extern void *__libc_malloc(size_t size);
static int starve;

void *malloc(size_t size) {
  if (starve) {
    errno = ENOMEM;
    return NULL;
  }
  return __libc_malloc(size);
}

static void test_no_memory(void) {
  const char *path = at("starved");
  make_wav(path, 0, 4000, 0);
  struct zavevuv_report r = {.size = sizeof r};
  starve = 1;
  const int outcome = zavevuv_repair(path, &r);
  starve = 0;
  EXPECT(outcome == ZAVEVUV_NO_MEMORY && r.error == ENOMEM, "%s", zavevuv_outcome_name(outcome));
  EXPECT(zavevuv_repair(path, &r) == ZAVEVUV_FIXED, "then %s", zavevuv_outcome_name(r.outcome));
}
#else
static void test_no_memory(void) {}
#endif

static void test_names(void) {
  struct zavevuv_report c = {.size = sizeof c};
  EXPECT(zavevuv_check(NULL, &c) == ZAVEVUV_INVALID && c.outcome == ZAVEVUV_INVALID, "null path");
  make_wav(at("unreported"), 0, 4000, 0);
  EXPECT(zavevuv_repair(at("unreported"), NULL) == ZAVEVUV_FIXED, "no report");
  EXPECT(strcmp(zavevuv_version(), ZAVEVUV_VERSION_STRING) == 0, "%s", zavevuv_version());
  EXPECT(zavevuv_version_number() == ZAVEVUV_VERSION_NUMBER &&
             ZAVEVUV_VERSION_NUMBER == ZAVEVUV_VERSION_MAJOR * 10000 +
                                           ZAVEVUV_VERSION_MINOR * 100 + ZAVEVUV_VERSION_PATCH,
         "%d", zavevuv_version_number());
  EXPECT(strcmp(zavevuv_outcome_name(ZAVEVUV_FIXED), "fixed") == 0, "fixed");
  EXPECT(strcmp(zavevuv_outcome_name(ZAVEVUV_INVALID), "invalid") == 0, "invalid");
  EXPECT(strcmp(zavevuv_outcome_name(-1), "unknown") == 0 &&
             strcmp(zavevuv_outcome_name(11), "unknown") == 0,
         "unknown");
}

int main(int argc, char **argv) {
  if (argc != 2) return 2;
  snprintf(dir, sizeof dir, "%s", argv[1]);
  test_descriptors();
  test_decide();
  test_report_sizes();
  test_no_memory();
  test_names();
  printf("%s: %d failure(s)\n", argv[0], failures);
  return failures != 0;
}
