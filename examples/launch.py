#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""What a recording app written in Python runs at launch, through ctypes:
each take is checked, and repaired only when its header needs it.

    launch.py TAKE.wav...    (ZAVEVUV_LIBRARY may name libzavevuv.so.1)
"""
import ctypes
import ctypes.util
import os
import sys


class Report(ctypes.Structure):
    _fields_ = [
        ("size", ctypes.c_size_t),
        ("outcome", ctypes.c_int),
        ("error", ctypes.c_int),
        ("data_chunk", ctypes.c_uint64),
        ("audio_bytes", ctypes.c_uint64),
        ("frames", ctypes.c_uint64),
        ("stated_bytes", ctypes.c_uint64),
        ("fields", ctypes.c_uint),
        ("rf64", ctypes.c_int),
        ("insert", ctypes.c_int),
    ]


FIXED, TO_END, CANNOT_OPEN = 1, 2, 6


def load():
    name = os.environ.get("ZAVEVUV_LIBRARY") or ctypes.util.find_library("zavevuv")
    lib = ctypes.CDLL(name or "libzavevuv.so.1", use_errno=True)
    for call in (lib.zavevuv_check, lib.zavevuv_repair):
        call.argtypes = [ctypes.c_char_p, ctypes.POINTER(Report)]
        call.restype = ctypes.c_int
    lib.zavevuv_outcome_name.argtypes = [ctypes.c_int]
    lib.zavevuv_outcome_name.restype = ctypes.c_char_p
    return lib


def main(paths):
    lib = load()
    status = 0
    for path in paths:
        report = Report(size=ctypes.sizeof(Report))
        outcome = lib.zavevuv_check(os.fsencode(path), ctypes.byref(report))
        if outcome in (FIXED, TO_END):
            outcome = lib.zavevuv_repair(os.fsencode(path), ctypes.byref(report))
        name = lib.zavevuv_outcome_name(outcome).decode()
        if outcome >= CANNOT_OPEN:
            print(f"{path}: {name} ({os.strerror(report.error)})")
            status = 1
        else:
            print(f"{path}: {name}, {report.audio_bytes} bytes of audio")
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
