#!/usr/bin/env python3
"""Python's wave module, a reader nobody here wrote, reads repaired files:
first the wrong frame count, after one run of the tool the true one, with
every sample byte intact."""
import os, struct, subprocess, sys, tempfile, wave

failures = 0
with tempfile.TemporaryDirectory() as tmp:
    path = os.path.join(tmp, "t.wav")
    for ch, width, stored in [(c, w, s) for c in (1, 2) for w in (1, 2) for s in (0, 100, 1 << 20)]:
        audio = bytes((i * 7) & 0xFF for i in range(800 * ch * width))
        fmt = struct.pack("<HHIIHH", 1, ch, 8000, 8000 * ch * width, ch * width, width * 8)
        body = b"WAVEfmt " + struct.pack("<I", 16) + fmt + b"data" + struct.pack("<I", stored)
        with open(path, "wb") as f:
            f.write(b"RIFF" + struct.pack("<I", len(body + audio)) + body + audio)
        with wave.open(path) as w:
            before = w.getnframes()
        ran = subprocess.run([sys.argv[1], path], capture_output=True, check=False)
        with wave.open(path) as w:
            ok = before != 800 and w.getnframes() == 800 and w.readframes(1 << 30) == audio
        ok = ok and ran.stdout == f"Header was fixed successfully in {path}.\n".encode()
        print(f"{'ok' if ok else 'FAIL'}: {ch} channel(s), {8 * width}-bit, stored {stored}")
        failures += not ok
print(f"{12 - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
