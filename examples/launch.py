#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""What a recording app written in Python runs at launch: each take is
checked, and repaired only when its header needs it.

    launch.py TAKE.wav...
"""
import os
import sys

import zavevuv
from zavevuv import Outcome


def main(paths):
    status = 0
    for path in paths:
        report = zavevuv.check(path)
        if report.outcome in (Outcome.FIXED, Outcome.TO_END):
            report = zavevuv.repair(path)
        name = report.outcome.name.lower().replace("_", "-")
        if report.outcome >= Outcome.CANNOT_OPEN:
            print(f"{path}: {name} ({os.strerror(report.error)})")
            status = 1
        else:
            print(f"{path}: {name}, {report.audio_bytes} bytes of audio")
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
