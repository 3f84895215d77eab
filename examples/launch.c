/* SPDX-License-Identifier: MIT */
/* What a recording app runs at launch: each take a crash may have left is
 * checked, and repaired only when its header needs it.
 *   launch TAKE.wav...
 * Build: cc launch.c $(pkg-config --cflags --libs zavevuv) */
#include <stdio.h>
#include <string.h>
#include <zavevuv.h>

int main(int argc, char **argv) {
  int status = 0;
  for (int i = 1; i < argc; i++) {
    struct zavevuv_report r = {.size = sizeof r};
    int outcome = zavevuv_check(argv[i], &r);
    if (outcome == ZAVEVUV_FIXED || outcome == ZAVEVUV_TO_END) {
      outcome = zavevuv_repair(argv[i], &r);
    }
    if (outcome >= ZAVEVUV_CANNOT_OPEN) {
      printf("%s: %s (%s)\n", argv[i], zavevuv_outcome_name(outcome), strerror(r.error));
      status = 1;
    } else if (r.frames != ZAVEVUV_UNKNOWN) {
      printf("%s: %s, %llu frames\n", argv[i], zavevuv_outcome_name(outcome),
             (unsigned long long)r.frames);
    } else {
      printf("%s: %s\n", argv[i], zavevuv_outcome_name(outcome));
    }
  }
  return status;
}
