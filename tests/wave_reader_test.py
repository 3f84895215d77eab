#!/usr/bin/env python3
"""Python's own wave module, a reader nobody here wrote, reads repaired files.

Each file holds real PCM audio under a header whose data size is wrong. The
reader must first see the wrong frame count, and after one run of the tool
the true one, with every sample byte intact.
"""
import os
import struct
import subprocess
import sys
import tempfile
import wave


def wav(channels, width, frames, stored):
    audio = bytes((i * 7) & 0xFF for i in range(frames * channels * width))
    fmt = struct.pack("<HHIIHH", 1, channels, 8000, 8000 * channels * width,
                      channels * width, width * 8)
    body = (b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
            + b"data" + struct.pack("<I", stored) + audio)
    return b"RIFF" + struct.pack("<I", len(body)) + body, audio


def main():
    tool = sys.argv[1]
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "t.wav")
        for channels in (1, 2):
            for width in (1, 2):
                for stored in (0, 100, 1 << 20):  # empty, too small, too large
                    data, audio = wav(channels, width, 800, stored)
                    with open(path, "wb") as f:
                        f.write(data)
                    with wave.open(path) as w:
                        before = w.getnframes()
                    ran = subprocess.run([tool, path], capture_output=True, check=False)
                    with wave.open(path) as w:
                        after, samples = w.getnframes(), w.readframes(1 << 30)
                    ok = before != 800 and after == 800 and samples == audio \
                        and ran.stdout.startswith(b"Header was fixed successfully")
                    print(f"{'ok  ' if ok else 'FAIL'} {channels} ch, {8 * width}-bit, "
                          f"stored {stored}: {before} frames before, {after} after")
                    failures += not ok
    print(f"{12 - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
