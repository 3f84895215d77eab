#!/usr/bin/env python3
"""Readers nobody here wrote read what the tool repaired.

    readers_test.py BINARY wave      Python's wave module, on RIFF files as
                                     crashed writers leave them
    readers_test.py BINARY sndfile   libsndfile's sndfile-info, on sparse
                                     5 GiB RF64, BW64 and JUNK-reserved files
"""
import os, re, shutil, struct, subprocess, sys, tempfile, wave

tool, reader = sys.argv[1], sys.argv[2]
if reader == "sndfile" and not shutil.which("sndfile-info"):
    print("SKIPPED: sndfile-info not found (Debian package sndfile-programs)")
    sys.exit(0)
results = []


def chunk(cid, body):
    return cid + struct.pack("<I", len(body)) + body + b"\0" * (len(body) % 2)


def header(form, riff, first, ch, width, before, stored):
    fmt = struct.pack("<HHIIHH", 1, ch, 8000, 8000 * ch * width, ch * width, width * 8)
    return (form + struct.pack("<I", riff) + b"WAVE" + first + chunk(b"fmt ", fmt) + before
            + b"data" + struct.pack("<I", stored))


def run(path):
    out = subprocess.run([tool, path], capture_output=True, check=False).stdout.decode()
    return out.split(" in ")[0] if " in " in out else out.strip()


def check(name, ok):
    print(f"{'ok' if ok else 'FAIL'}: {name}")
    results.append(ok)


with tempfile.TemporaryDirectory() as tmp:
    path = os.path.join(tmp, "t.wav")
    if reader == "wave":
        info = chunk(b"LIST", b"INFO" + chunk(b"INAM", b"Big data\0") + chunk(b"ISFT", b"Lavf59"))
        shapes = {  # name: RIFF size, data size, chunks before the data (None: the true size)
            "libsndfile": (8, 0, b""), "arecord": (0x80000024, 0x80000000, b""),
            "ffmpeg": (0xFFFFFFFF, 0xFFFFFFFF, info), "RIFF size 36": (36, 0, b""),
            "RIFF size stale": (36, None, b""), "valid, data in LIST": (None, None, info)}
        for (name, (riff, stored, before)), ch, width in [
                (s, c, w) for s in shapes.items() for c in (1, 2) for w in (1, 2)]:
            audio = bytes((i * 7) & 0xFF for i in range(800 * ch * width))
            size = len(header(b"RIFF", 0, b"", ch, width, before, 0)) - 8 + len(audio)
            data = header(b"RIFF", size if riff is None else riff, b"", ch, width, before,
                          len(audio) if stored is None else stored) + audio
            with open(path, "wb") as f:
                f.write(data)
            said = run(path)
            try:
                with wave.open(path) as w:
                    ok = w.getnframes() == 800 and w.readframes(1 << 30) == audio
            except wave.Error:
                ok = False
            with open(path, "rb") as f:
                same = f.read() == data
            valid = riff is None
            check(f"{name}, {ch} channel(s), {8 * width}-bit", ok and same == valid and said ==
                  ("The header" if valid else "Header was fixed successfully"))
    else:
        big = 5 << 30  # bytes of audio, left sparse
        zeros = chunk(b"ds64", bytes(28))
        shapes = {  # name: form, RIFF size, first chunk, data size, message
            "RF64 crashed": (b"RF64", 0xFFFFFFFF, zeros, 0xFFFFFFFF, "Header was fixed successfully"),
            "BW64 crashed": (b"BW64", 0, zeros, 0, "Header was fixed successfully"),
            "JUNK-reserved RIFF crashed": (b"RIFF", 0xFFFFFFFF, chunk(b"JUNK", bytes(28)), 0,
                                           "Header was fixed successfully"),
            "RF64 valid": (b"RF64", 0xFFFFFFFF, None, 0xFFFFFFFF, "The header")}
        for name, (form, riff, first, stored, message) in shapes.items():
            head = len(header(form, riff, zeros, 2, 2, b"", stored))
            if first is None:
                first = chunk(b"ds64", struct.pack("<QQQI", head + big - 8, big, big // 4, 0))
            with open(path, "wb") as f:
                f.write(header(form, riff, first, 2, 2, b"", stored) + b"\x01\x02" * 32)
                f.truncate(head + big)
            said = run(path)
            seen = path
            if form == b"BW64":  # Debian's libsndfile 1.2 reads RF64, of which BW64 is a copy
                seen = os.path.join(tmp, "as-rf64.wav")
                with open(path, "rb") as f, open(seen, "wb") as g:
                    g.write(b"RF64" + f.read(4096)[4:])
                    g.truncate(head + big)
            printed = subprocess.run(["sndfile-info", seen], capture_output=True, text=True).stdout
            frames = re.findall(r"^Frames\s*:\s*(\d+)", printed, re.M)
            check(f"{name}: {frames} frames", said == message and frames == [str(big // 4)])
print(f"{sum(results)} passed, {len(results) - sum(results)} failed")
sys.exit(0 if all(results) else 1)
