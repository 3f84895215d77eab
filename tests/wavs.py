# SPDX-License-Identifier: MIT
"""WAVE files for the Python tests, as writers and crashed recorders leave them."""
import struct


def chunk(cid, body):
    return cid + struct.pack("<I", len(body)) + body + b"\0" * (len(body) % 2)


def wav(form, riff, first, ch, width, before, stored, audio_bytes, rate=8000):
    """The header up to the data size; None for `riff` or `stored`: the true size."""
    fmt = struct.pack("<HHIIHH", 1, ch, rate, rate * ch * width, ch * width, width * 8)
    body = b"WAVE" + first + chunk(b"fmt ", fmt) + before + b"data"
    riff = len(body) + 4 + audio_bytes if riff is None else riff
    stored = audio_bytes if stored is None else stored
    return form + struct.pack("<I", riff) + body + struct.pack("<I", stored)


def aiff(size, frames, stored, audio_bytes, ch=2):
    """An AIFF header up to its first sample: 16-bit at 44,100 Hz; None: the true value."""
    count = audio_bytes // (2 * ch) if frames is None else frames
    comm = struct.pack(">hIh", ch, count, 16) + b"\x40\x0e\xac\x44" + bytes(6)
    body = (b"AIFFCOMM" + struct.pack(">I", len(comm)) + comm + b"SSND"
            + struct.pack(">I", 8 + audio_bytes if stored is None else stored) + bytes(8))
    return b"FORM" + struct.pack(">I", len(body) + audio_bytes if size is None else size) + body


W64_TAIL = b"\xf3\xac\xd3\x11\x8c\xd1\x00\xc0\x4f\x8e\xdb\x8a"


def w64(size, stored, audio_bytes, ch=2):
    """A Wave64 header up to its first sample: 16-bit at 44,100 Hz; None: the true value."""
    fmt = struct.pack("<HHIIHH", 1, ch, 44100, 44100 * ch * 2, ch * 2, 16)
    body = (b"wave" + W64_TAIL + b"fmt " + W64_TAIL + struct.pack("<Q", 24 + len(fmt)) + fmt + b"data" + W64_TAIL
            + struct.pack("<Q", 24 + audio_bytes if stored is None else stored))
    riff = b"riff\x2e\x91\xcf\x11\xa5\xd6\x28\xdb\x04\xc1\x00\x00"
    return riff + struct.pack("<Q", 24 + len(body) + audio_bytes if size is None else size) + body


def plucked(frames, ch=2, seed=1, big=False):
    """16-bit plucked strings, a chord every quarter second at 8,000 Hz: audio whose width and byte
    order can be told from its bytes (the second channel lags the first)."""
    x, noise = [0.0] * (frames + 64), seed
    for chord, at in enumerate(range(0, frames, 2000)):
        for k in range(2):
            string = []
            for _ in range(int(8000 / (110, 138.6, 164.8, 146.8, 185.0, 220.0, 98.0, 123.5)[(chord * 2 + k) % 8])):
                noise = (noise * 1664525 + 1013904223) % 2**32
                string.append((noise >> 8) / 8388608.0 - 1.0)
            for _ in range(6):  # plucked with a finger: a soft start
                string = [0.5 * (a + b) for a, b in zip(string, string[1:] + string[:1])]
            n = len(string)
            for i in range(min(8000, len(x) - at)):
                x[at + i] += 0.15 * string[i % n]
                string[i % n] = 0.996 * 0.5 * (string[i % n] + string[(i + 1) % n])
    return b"".join(struct.pack(">h" if big else "<h", round(x[i + 37 * c] * 32767))
                    for i in range(frames) for c in range(ch))
