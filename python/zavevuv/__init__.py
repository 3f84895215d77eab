# SPDX-License-Identifier: MIT
"""Checks and repairs the size fields of WAV file headers in place.

A thin layer over libzavevuv (loaded by its SONAME, libzavevuv.so.1): the
same rules, lock, lease and sync as the zavevuv_32uvo command. A call
returns a Report of what the file's header needed, or what was done to it;
a file that cannot be opened, read or written raises OSError as the os
module does (FileNotFoundError, PermissionError, IsADirectoryError, ...,
with the file's name), and one that another process holds raises Busy, a
BlockingIOError: try again. See zavevuv(3) for each outcome and count.

    report = zavevuv.check("take.wav")
    if report.needs_repair:
        report = zavevuv.repair("take.wav")
"""
from __future__ import annotations

import ctypes
import enum
import errno
import os
import sysconfig
from dataclasses import dataclass
from typing import Iterator, Optional, Protocol, Union

__all__ = ["Outcome", "Kind", "Report", "Busy", "check", "repair", "__version__"]

SONAME = "libzavevuv.so.1"
_UNKNOWN = 2**64 - 1


class Outcome(enum.Enum):
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

    def __str__(self) -> str:
        """The library's name of the outcome: "correct", "fixed", "to-end", ..."""
        return _lib.zavevuv_outcome_name(self.value).decode()


class Busy(BlockingIOError):
    """Another process holds the file (a lock or a lease): nothing was written; try again."""


class Kind(enum.Enum):
    """What a file's first bytes are."""

    UNKNOWN = 0  # not read
    NOT_WAVE = 1
    RIFF = 2
    RF64 = 3  # RF64 or BW64, before any repair
    W64 = 4  # Sony Wave64 (since 1.9.0)
    AIFF = 5
    AIFC = 6  # AIFF-C


@dataclass(frozen=True)
class Report:
    """What a call found; None where the library does not know."""

    outcome: Outcome
    error: int  # errno of the system call that failed, else 0
    data_chunk: Optional[int]  # offset of "data"
    audio_bytes: Optional[int]  # the audio's true length in bytes
    frames: Optional[int]  # sample frames, where the format tells
    stated_bytes: Optional[int]  # the data size the header stated before
    fields: int  # size fields written, or that a repair would write
    rf64: bool  # became RF64 (a check: would)
    insert: bool  # an insert would make it RF64
    write_error: int  # errno a repair's open for writing met or would meet
    kind: Kind  # what the file's first bytes are
    sample_rate: Optional[int]  # frames a second, from the fmt chunk
    stated_frames: Optional[int]  # the samples stated_bytes hold, where the format tells
    checked: bool = False  # a check's report: what a repair would do

    @property
    def needs_repair(self) -> bool:
        """Whether a repair would write: a check that found wrong sizes (FIXED says
        "would be fixed" there), or a file a repair could make RF64."""
        return self.checked and (self.outcome == Outcome.FIXED or self.insert
                                 or self.outcome == Outcome.TO_END and self.fields > 0)


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


def _places() -> Iterator[str]:
    """Where the library may be, in the order tried: the one ZAVEVUV_LIBRARY names
    (alone), the one the install recorded, one beside the prefix this package lies
    in (pip install --prefix), then the SONAME as the dynamic linker finds it."""
    named = os.environ.get("ZAVEVUV_LIBRARY")
    if named:
        yield named
        return
    try:
        from ._library import PATH  # written by cmake --install, outside /usr
        yield PATH
    except ImportError:
        pass
    folder = os.path.dirname(os.path.abspath(__file__))
    multiarch = sysconfig.get_config_var("MULTIARCH") or ""
    for _ in range(5):  # PREFIX/[local/]lib/pythonX.Y/site-packages/zavevuv
        folder = os.path.dirname(folder)
        for sub in ("lib", "lib64", os.path.join("lib", multiarch)):
            beside = os.path.join(folder, sub, SONAME)
            if os.path.exists(beside):
                yield beside
    yield SONAME


def _load() -> ctypes.CDLL:
    lib = None
    for place in _places():
        try:
            lib = ctypes.CDLL(place)
            break
        except OSError as error:
            failure = error
    if lib is None:
        raise ImportError(
            f"zavevuv needs the shared library {SONAME} (Debian: the libzavevuv1 package; "
            f"ZAVEVUV_LIBRARY may name it), which could not be loaded: {failure}"
        ) from failure
    report = ctypes.POINTER(_Report)
    for name, first in (("check", ctypes.c_char_p), ("repair", ctypes.c_char_p),
                        ("check_fd", ctypes.c_int), ("repair_fd", ctypes.c_int)):
        call = getattr(lib, "zavevuv_" + name)
        call.argtypes, call.restype = [first, report], ctypes.c_int
    lib.zavevuv_version.argtypes, lib.zavevuv_version.restype = [], ctypes.c_char_p
    lib.zavevuv_outcome_name.argtypes, lib.zavevuv_outcome_name.restype = [ctypes.c_int], ctypes.c_char_p
    return lib


_lib = _load()
__version__: str = _lib.zavevuv_version().decode()


class HasFileno(Protocol):
    def fileno(self) -> int: ...


File = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]", int, HasFileno]


def _call(name: str, file: File) -> Report:
    raw = _Report(size=ctypes.sizeof(_Report))
    filename = None
    if isinstance(file, (str, bytes, os.PathLike)):
        filename = os.fspath(file)
        path = os.fsencode(file)
        if b"\0" in path:
            raise ValueError(f"zavevuv.{name}(): embedded null byte")  # as os.open says
        getattr(_lib, "zavevuv_" + name)(path, ctypes.byref(raw))
    else:
        if isinstance(file, bool) or not isinstance(file, int) and not hasattr(file, "fileno"):
            raise TypeError(f"zavevuv.{name}() takes a path, a descriptor or a file object, "
                            f"not {type(file).__name__}")
        if not isinstance(file, int):
            if hasattr(file, "flush") and not getattr(file, "closed", False):
                file.flush()  # what Python still buffers belongs to the file
            file = file.fileno()
        if not -2**31 <= file < 2**31:
            raise OverflowError(f"zavevuv.{name}(): fd {file} is out of range")  # as os.fstat says
        getattr(_lib, f"zavevuv_{name}_fd")(file, ctypes.byref(raw))
    outcome = Outcome(raw.outcome)
    if outcome == Outcome.BUSY:
        raise Busy(errno.EAGAIN, "another process holds the file; nothing written, try again", filename)
    if outcome in (Outcome.CANNOT_OPEN, Outcome.READ_FAILED, Outcome.WRITE_FAILED, Outcome.INVALID):
        code = raw.error or errno.EIO
        raise OSError(code, os.strerror(code), filename)  # the subclass the errno names
    if outcome == Outcome.NO_MEMORY:
        raise MemoryError(f"zavevuv.{name}(): out of memory")
    known = lambda n: None if n == _UNKNOWN else n  # noqa: E731
    found = raw.data_chunk != _UNKNOWN  # no data chunk: no sizes to tell
    return Report(outcome, raw.error, known(raw.data_chunk), raw.audio_bytes if found else None,
                  known(raw.frames), raw.stated_bytes if found else None, raw.fields,
                  bool(raw.rf64), bool(raw.insert), raw.write_error, Kind(raw.kind),
                  raw.sample_rate or None, known(raw.stated_frames), name == "check")


def check(file: File) -> Report:
    """Examines `file` read-only: what a repair would do."""
    return _call("check", file)


def repair(file: File) -> Report:
    """Repairs `file` as `zavevuv_32uvo FILE` does. A descriptor or file object
    must be open for reading and writing, without O_APPEND ("r+b")."""
    return _call("repair", file)
