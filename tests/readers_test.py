#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Readers and taggers nobody here wrote, on what the tool repaired or left alone.
    readers_test.py BINARY wave      Python's wave module: RIFF files as crashed writers leave them
    readers_test.py BINARY sndfile   sndfile-info: sparse 5 GiB RF64, BW64 and JUNK-reserved files
    readers_test.py BINARY taggers   files tagged by id3 and mutagen are left alone; the fact count
                                     of a crashed IMA ADPCM file reads the same in ffprobe and libsndfile
"""
import os, re, shutil, struct, subprocess, sys, tempfile, wave

tool, reader = sys.argv[1], sys.argv[2]
if reader == "sndfile" and not shutil.which("sndfile-info"):
    sys.exit(print("SKIPPED: sndfile-info not found (Debian package sndfile-programs)"))
MUTAGEN = "/usr/bin/python3"  # Debian's python3-mutagen is for the system's interpreter
if reader == "taggers":
    missing = [t for t in ("id3", "ffmpeg", "ffprobe", "sndfile-info") if not shutil.which(t)]
    if subprocess.run([MUTAGEN, "-c", "import mutagen"], capture_output=True).returncode != 0:
        missing.append("python3-mutagen")
    if missing:
        sys.exit(print(f"SKIPPED: {', '.join(missing)} not found (.ci/deps installs them)"))
FIXED, GOOD = "Header was fixed successfully in {}.\n", "The header in {} appears to be correct.\n"
results = []


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
    ok = ok() and said == message.format(path)
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
    elif reader == "sndfile":
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
    if reader == "taggers":
        def run(*cmd):
            return subprocess.run(cmd, capture_output=True, text=True, check=True).stdout

        def counts(p):  # frames as libsndfile, ffprobe and (for PCM) Python's wave read them
            sf = re.findall(r"^Frames\s*:\s*(\d+)", run("sndfile-info", p), re.M)
            ff = run("ffprobe", "-v", "error", "-show_entries", "stream=duration_ts", "-of", "csv=p=0", p)
            return [int(sf[0]), int(ff)] + ([frames(p)[0]] if frames(p) else [])

        def patch(p, **fields):  # offset: 32-bit value, as a crashed writer leaves them
            with open(p, "r+b") as f:
                for at, value in fields.values():
                    f.seek(at)
                    f.write(struct.pack("<I", value))

        sine = ["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=d=1:sample_rate=44100"]
        tagged = {"id3": lambda p: run("id3", "-t", "Big data song", p),
                  "APEv2 (mutagen)": lambda p: run(MUTAGEN, "-c", "import sys; from mutagen.apev2 import APEv2;"
                                                    "t = APEv2(); t['Title'] = 'Big data song'; t.save(sys.argv[1])", p)}
        for name, tag in tagged.items():
            run(*sine, "-bitexact", path)
            tag(path)
            before = open(path, "rb").read()
            check(f"valid, tagged by {name}: left alone", path, GOOD,
                  lambda: open(path, "rb").read() == before and counts(path) == [44100] * 3)
            h = before.index(b"data")
            patch(path, riff=(4, 8), data=(h + 4, 0))  # as libsndfile leaves a crashed recording
            check(f"crashed, tagged by {name}: audio ends at the tag", path, FIXED,
                  lambda: counts(path) == [44100] * 3 and open(path, "rb").read() == before)
        run(*sine[:-1], "sine=d=3:sample_rate=48000", "-ac", "2", "-c:a", "adpcm_ima_wav", path)
        before = open(path, "rb").read()
        fact, h = before.index(b"fact"), before.index(b"data")
        patch(path, riff=(4, 0x7FFFF044), fact=(fact + 8, 2118119480), data=(h + 4, 0x7FFFF000))
        check("crashed IMA ADPCM: fact count", path, FIXED,
              lambda: counts(path) == [144414, 144414] and open(path, "rb").read() == before)
print(f"{sum(results)} passed, {len(results) - sum(results)} failed")
sys.exit(0 if all(results) else 1)
