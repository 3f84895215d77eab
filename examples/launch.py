#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""What a recording app written in Python runs at launch: each take is
checked, and repaired only when its header needs it.

    launch.py TAKE.wav...
"""
import sys

import zavevuv


def main(paths):
    status = 0
    for path in paths:
        try:
            report = zavevuv.check(path)
            if report.needs_repair:
                report = zavevuv.repair(path)
        except zavevuv.Busy:
            print(f"{path}: busy, another program has it open; try again later")
            status = 1
            continue
        except OSError as error:
            print(f"{path}: {error.strerror}")
            status = 1
            continue
        print(report)  # "take.wav: fixed: data size 0 -> 4,096 bytes (0.03 s)"
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
