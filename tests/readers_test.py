#!/usr/bin/env python3
"""Readers nobody here wrote read what the tool repaired.
    readers_test.py BINARY wave      Python's wave module: RIFF files as crashed writers leave them
    readers_test.py BINARY sndfile   sndfile-info: sparse 5 GiB RF64, BW64 and JUNK-reserved files
"""
import os, re, shutil, struct, subprocess, sys, tempfile, wave

tool, reader = sys.argv[1], sys.argv[2]
if reader == "sndfile" and not shutil.which("sndfile-info"):
    sys.exit(print("SKIPPED: sndfile-info not found (Debian package sndfile-programs)"))
FIXED, GOOD, results = "Header was fixed successfully", "The header", []


def chunk(cid, body):
    return cid + struct.pack("<I", len(body)) + body + b"\0" * (len(body) % 2)


def wav(form, riff, first, ch, width, before, stored, audio_bytes):
    fmt = struct.pack("<HHIIHH", 1, ch, 8000, 8000 * ch * width, ch * width, width * 8)
    body = b"WAVE" + first + chunk(b"fmt ", fmt) + before + b"data"
    riff = len(body) + 4 + audio_bytes if riff is None else riff
    stored = audio_bytes if stored is None else stored
    return form + struct.pack("<I", riff) + body + struct.pack("<I", stored)


def check(name, path, message, ok):
    said = subprocess.run([tool, path], capture_output=True, check=False).stdout.decode()
    ok = ok() and said.startswith(message)
    print(f"{'ok' if ok else 'FAIL'}: {name}")
    results.append(ok)


def frames(path):
    try:
        with wave.open(path) as w:
            return w.getnframes(), w.readframes(1 << 30)
    except wave.Error:
        return None


with tempfile.TemporaryDirectory() as tmp:
    path = os.path.join(tmp, "t.wav")
    if reader == "wave":
        info = chunk(b"LIST", b"INFO" + chunk(b"INAM", b"Big data\0") + chunk(b"ISFT", b"Lavf59"))
        shapes = {"libsndfile": (8, 0, b""), "arecord": (0x80000024, 0x80000000, b""),
                  "ffmpeg": (0xFFFFFFFF, 0xFFFFFFFF, info), "RIFF size stale": (36, None, b""),
                  "valid, data in LIST": (None, None, info)}  # RIFF size, data size, chunks before
        for name, (riff, stored, before) in shapes.items():
            for ch, width in ((1, 1), (1, 2), (2, 1), (2, 2)):
                audio = bytes((i * 7) & 0xFF for i in range(800 * ch * width))
                data = wav(b"RIFF", riff, b"", ch, width, before, stored, len(audio)) + audio
                with open(path, "wb") as f:
                    f.write(data)
                check(f"{name}, {ch} channel(s), {8 * width}-bit", path, GOOD if riff is None else FIXED,
                      lambda: frames(path) == (800, audio) and (open(path, "rb").read() == data) == (riff is None))
    else:
        big, zeros = 5 << 30, chunk(b"ds64", bytes(28))
        good = chunk(b"ds64", struct.pack("<QQQI", 72 + big, big, big // 4, 0))
        shapes = {"RF64 crashed": (b"RF64", 0xFFFFFFFF, zeros, FIXED), "BW64 crashed": (b"BW64", 0, zeros, FIXED),
                  "JUNK-reserved RIFF crashed": (b"RIFF", 0xFFFFFFFF, chunk(b"JUNK", bytes(28)), FIXED),
                  "RF64 valid": (b"RF64", 0xFFFFFFFF, good, GOOD)}  # form, RIFF and data sizes, chunk at 12
        for name, (form, riff, first, message) in shapes.items():
            head = wav(form, riff, first, 2, 2, b"", riff, big)
            with open(path, "wb") as f:
                f.write(head + b"\x01\x02" * 32)
                f.truncate(len(head) + big)

            def seen():
                shown = path
                if form == b"BW64":  # Debian's libsndfile 1.2 reads RF64, but not its copy BW64
                    shown = path + ".rf64"
                    with open(path, "rb") as f, open(shown, "wb") as g:
                        g.write(b"RF64" + f.read(4096)[4:])
                        g.truncate(len(head) + big)
                out = subprocess.run(["sndfile-info", shown], capture_output=True, text=True, check=False).stdout
                return re.findall(r"^Frames\s*:\s*(\d+)", out, re.M) == [str(big // 4)]
            check(name, path, message, seen)
print(f"{sum(results)} passed, {len(results) - sum(results)} failed")
sys.exit(0 if all(results) else 1)
