# SPDX-License-Identifier: MIT
"""Checks and repairs the size fields of WAV file headers in place.

A thin layer over libzavevuv (loaded by its SONAME, libzavevuv.so.1): the
same rules, lock, lease and sync as the zavevuv_32uvo command. Every call
returns a Report; what happened to the file is its outcome, never an
exception. See zavevuv(3) for what each outcome and count means.

    report = zavevuv.check("take.wav")
    if report.outcome in (zavevuv.Outcome.FIXED, zavevuv.Outcome.TO_END):
        report = zavevuv.repair("take.wav")
"""
from __future__ import annotations

import ctypes
import enum
import os
from dataclasses import dataclass
from typing import Optional, Protocol, Union

__all__ = ["Outcome", "Kind", "Report", "check", "repair", "__version__"]

SONAME = "libzavevuv.so.1"
_UNKNOWN = 2**64 - 1


class Outcome(enum.IntEnum):
    """What a file needed, or what happened to it: the library's outcomes."""

    CORRECT = 0
    FIXED = 1
    TO_END = 2
    TOO_LARGE = 3
    TRUNCATED = 4
    NO_DATA_CHUNK = 5
    CANNOT_OPEN = 6
    READ_FAILED = 7
    WRITE_FAILED = 8
    NO_MEMORY = 9
    INVALID = 10
    BUSY = 11  # since 1.7.0: another process holds the file; nothing written, try again


class Kind(enum.IntEnum):
    """What a file's first bytes are."""

    UNKNOWN = 0  # not read
    NOT_WAVE = 1
    RIFF = 2
    RF64 = 3  # RF64 or BW64, before any repair


@dataclass(frozen=True)
class Report:
    """What a call found; None where the library does not know."""

    outcome: Outcome
    error: int  # errno of the system call that failed, else 0
    data_chunk: Optional[int]  # offset of "data"
    audio_bytes: int  # the audio's true length in bytes
    frames: Optional[int]  # sample frames, where the format tells
    stated_bytes: int  # the data size the header stated before
    fields: int  # size fields written, or that a repair would write
    rf64: bool  # became RF64 (a check: would)
    insert: bool  # an insert would make it RF64
    write_error: int  # errno a repair's open for writing met or would meet
    kind: Kind  # what the file's first bytes are
    sample_rate: Optional[int]  # frames a second, from the fmt chunk
    stated_frames: Optional[int]  # the samples stated_bytes hold, where the format tells


class _Report(ctypes.Structure):
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
        ("write_error", ctypes.c_int),
        ("kind", ctypes.c_int),
        ("sample_rate", ctypes.c_uint32),
        ("stated_frames", ctypes.c_uint64),
    ]


def _load() -> ctypes.CDLL:
    try:
        lib = ctypes.CDLL(SONAME)
    except OSError as error:
        raise ImportError(
            f"zavevuv needs the shared library {SONAME} (Debian: the libzavevuv1 package), "
            f"which could not be loaded: {error}"
        ) from error
    report = ctypes.POINTER(_Report)
    for name, first in (("check", ctypes.c_char_p), ("repair", ctypes.c_char_p),
                        ("check_fd", ctypes.c_int), ("repair_fd", ctypes.c_int)):
        call = getattr(lib, "zavevuv_" + name)
        call.argtypes, call.restype = [first, report], ctypes.c_int
    lib.zavevuv_version.argtypes, lib.zavevuv_version.restype = [], ctypes.c_char_p
    return lib


_lib = _load()
__version__: str = _lib.zavevuv_version().decode()


class HasFileno(Protocol):
    def fileno(self) -> int: ...


File = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]", int, HasFileno]


def _call(name: str, file: File) -> Report:
    raw = _Report(size=ctypes.sizeof(_Report))
    if isinstance(file, (str, bytes, os.PathLike)):
        path = os.fsencode(file)
        getattr(_lib, "zavevuv_" + name)(path, ctypes.byref(raw))
    else:
        if isinstance(file, bool) or not isinstance(file, int) and not hasattr(file, "fileno"):
            raise TypeError(f"zavevuv.{name}() takes a path, a descriptor or a file object, "
                            f"not {type(file).__name__}")
        if not isinstance(file, int):
            if hasattr(file, "flush") and not getattr(file, "closed", False):
                file.flush()  # what Python still buffers belongs to the file
            file = file.fileno()
        getattr(_lib, f"zavevuv_{name}_fd")(file, ctypes.byref(raw))
    known = lambda n: None if n == _UNKNOWN else n  # noqa: E731
    return Report(Outcome(raw.outcome), raw.error, known(raw.data_chunk), raw.audio_bytes,
                  known(raw.frames), raw.stated_bytes, raw.fields, bool(raw.rf64),
                  bool(raw.insert), raw.write_error, Kind(raw.kind), raw.sample_rate or None,
                  known(raw.stated_frames))


def check(file: File) -> Report:
    """Examines `file` read-only: what a repair would do."""
    return _call("check", file)


def repair(file: File) -> Report:
    """Repairs `file` as `zavevuv_32uvo FILE` does. A descriptor or file object
    must be open for reading and writing, without O_APPEND ("r+b")."""
    return _call("repair", file)
