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
