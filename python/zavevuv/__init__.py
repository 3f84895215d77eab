# SPDX-License-Identifier: MIT
"""Checks and repairs the size fields of audio files' headers in place (WAV,
RF64/BW64, AIFF, AIFF-C, Wave64), and rebuilds a header that is gone from a
sibling take.

A thin layer over libzavevuv (the copy pip built into the package, else
libzavevuv.so.1 as installed): the same rules, lock, lease and sync as the
zavevuv command. A call returns a Report of what the file's header needed,
or what was done to it (str() of it is a line as zavevuv writes one);
a file that cannot be opened, read or written raises OSError as the os
module does (FileNotFoundError, PermissionError, IsADirectoryError, ...,
with the file's name), and one that another process holds raises Busy, a
BlockingIOError: try again. See zavevuv(3) for each outcome and count.

    report = zavevuv.check("take.wav")
    if report.needs_repair:
        report = zavevuv.repair("take.wav")
    if report.outcome == zavevuv.Outcome.HEADER_GONE:
        report = zavevuv.rebuild("take.wav", like="take 2.wav")
"""
from __future__ import annotations

import ctypes
import enum
import errno
import importlib
import io
import os
from dataclasses import dataclass
from typing import Iterator, Optional, Protocol, Union

__all__ = ["Outcome", "Kind", "Shape", "Refusal", "Encoding", "Format", "Report", "Busy", "check",
           "repair", "rebuild", "guess", "__version__"]

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
    HEADER_GONE = 12  # since 1.10.0, from a call with like= and guess(): its header is gone

    def __str__(self) -> str:
        """The library's name of the outcome: "correct", "fixed", "to-end", ..."""
        return str(_lib.zavevuv_outcome_name(self.value).decode())


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


class Shape(enum.Enum):
    """The shape of a file whose header is gone."""

    NONE = 0  # its header stands, or it is no audio
    ZEROED = 1  # zeros where its header was
    CUT = 2  # it starts with audio: its first bytes are lost
    DAMAGED = 3  # its form or format is gone, its data chunk's header stands


class Refusal(enum.Enum):
    """Why such a file was not rebuilt from the take."""

    NONE = 0
    MISFIT = 1  # its audio reads better as another format (the report's reads_as)
    SILENT = 2  # the audio tested is silence
    ALIGNMENT = 3  # the take's container cannot start the audio where its samples start
    NO_INSERT = 4  # no block can be inserted at its start here
    NO_ROOM = 5  # the bytes before its data chunk cannot hold the take's head
    TOO_LARGE = 6  # past 4 GiB, which AIFF cannot describe


class Encoding(enum.Enum):
    """How samples are stored."""

    PCM = 1  # signed integers
    UNSIGNED = 2  # unsigned integers (8-bit WAV)
    FLOAT = 3
    MU_LAW = 4
    A_LAW = 5


@dataclass(frozen=True)
class Format:
    """How a file's audio reads: the take's where it fits, else the best guess."""

    encoding: Encoding
    bits: int  # a sample's
    big_endian: bool
    channels: Optional[int]  # None: its bytes do not tell
    channels_assumed: bool  # it started inside a frame: the take's channel order was kept


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
    shape: Shape = Shape.NONE  # since 1.10.0, with like= and guess(): a header gone
    refusal: Refusal = Refusal.NONE  # why such a file was not rebuilt
    reads_as: Optional[Format] = None  # how its audio reads
    name: Optional[str] = None  # the file's, where the call was given it (a path or a file object's name)

    @property
    def needs_repair(self) -> bool:
        """Whether a repair would write: a check that found wrong sizes (FIXED says
        "would be fixed" there), or a file a repair could make RF64."""
        return self.checked and (self.outcome == Outcome.FIXED or self.insert
                                 or self.outcome == Outcome.TO_END and self.fields > 0)

    def __str__(self) -> str:
        """One line in the manner of zavevuv's for the file: "take.wav: fixed: data
        size 0 -> 4,096 bytes (0.03 s)", "take.wav: would fix: ...", "take.wav: correct"."""
        return f"{'(descriptor)' if self.name is None else self.name}: {self._words()}"

    def _words(self) -> str:
        if self.kind == Kind.NOT_WAVE and self.outcome == Outcome.NO_DATA_CHUNK:
            return "not audio"
        if self.outcome == Outcome.HEADER_GONE:
            shape = {Shape.ZEROED: "head zeroed", Shape.CUT: "head cut away"}.get(self.shape, "head damaged")
            refusal = "" if self.refusal == Refusal.NONE else f", not rebuilt: {self.refusal.name.lower()}"
            return f"header gone ({shape}){refusal}"
        if self.audio_bytes is None or self.outcome == Outcome.CORRECT and not self.needs_repair:
            return _WORDS.get(self.outcome, str(self.outcome).replace("-", " "))
        word = "would fix" if self.needs_repair else _WORDS.get(self.outcome, str(self.outcome).replace("-", " "))
        container = {Kind.W64: "Wave64 ", Kind.AIFF: "AIFF ", Kind.AIFC: "AIFF-C "}.get(self.kind, "")
        sizes = (f"{container}data size {self.stated_bytes:,} -> {self.audio_bytes:,} bytes"
                 if self.stated_bytes != self.audio_bytes else
                 f"{self.fields} size field{'' if self.fields == 1 else 's'}; "
                 f"{container}data size {self.audio_bytes:,} bytes")
        if self.frames is not None and self.sample_rate:
            cents = (self.frames * 100 + self.sample_rate // 2) // self.sample_rate
            sizes += f" ({cents // 100:,}.{cents % 100:02} s)"
        return f"{word}: {sizes}" + (", as RF64" if self.rf64 and self.checked else ", now RF64" if self.rf64
                                     else ", as RF64 by an insert" if self.insert else "")


_WORDS = {Outcome.TO_END: "to the end"}  # zavevuv's, where the outcome's name is not


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
        ("shape", ctypes.c_int),
        ("refusal", ctypes.c_int),
        ("encoding", ctypes.c_int),
        ("sample_bytes", ctypes.c_uint),
        ("big_endian", ctypes.c_int),
        ("channels", ctypes.c_uint),
        ("channels_assumed", ctypes.c_int),
    ]


def _places() -> Iterator[str]:
    """Where the library may be, in the order tried: the one ZAVEVUV_LIBRARY names
    (alone), the one pip built into this package, the one cmake --install recorded
    (outside /usr), then the SONAME as the dynamic linker finds it."""
    named = os.environ.get("ZAVEVUV_LIBRARY")
    if named:
        yield named
        return
    inside = os.path.join(os.path.dirname(os.path.abspath(__file__)), SONAME)
    if os.path.exists(inside):
        yield inside
    try:
        yield str(importlib.import_module(__name__ + "._library").PATH)
    except ImportError:
        pass
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
    for name in ("check_like", "rebuild"):
        call = getattr(lib, "zavevuv_" + name)
        call.argtypes, call.restype = [ctypes.c_char_p, ctypes.c_char_p, report], ctypes.c_int
    lib.zavevuv_version.argtypes, lib.zavevuv_version.restype = [], ctypes.c_char_p
    lib.zavevuv_outcome_name.argtypes, lib.zavevuv_outcome_name.restype = [ctypes.c_int], ctypes.c_char_p
    return lib


_lib = _load()
__version__: str = _lib.zavevuv_version().decode()


class HasFileno(Protocol):
    def fileno(self) -> int: ...


File = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]", int, HasFileno]


Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


def _path(name: str, file: Path) -> bytes:
    path = os.fsencode(file)
    if b"\0" in path:
        raise ValueError(f"zavevuv.{name}(): embedded null byte")  # as os.open says
    return path


_ACCEPTED = "a path (str, bytes or os.PathLike), a descriptor (int) or a file object with fileno()"


def _descriptor(name: str, file: Union[int, HasFileno]) -> int:
    """The descriptor of `file`: an int as it is, a file object's fileno() once what
    Python still buffers for it is written."""
    if isinstance(file, int):
        return file
    if hasattr(file, "flush") and not getattr(file, "closed", False):
        file.flush()  # what Python still buffers belongs to the file
    try:
        return file.fileno()
    except io.UnsupportedOperation as error:  # io.BytesIO, a wrapped stream...
        raise TypeError(f"zavevuv.{name}() takes {_ACCEPTED}; this {type(file).__name__} "
                        "has no descriptor") from error


def _call(name: str, file: File, like: Optional[Path] = None, guess: bool = False) -> Report:
    raw = _Report(size=ctypes.sizeof(_Report))
    filename: Union[str, bytes, None] = None  # as os gives it in an OSError
    if like is not None or guess:
        if not isinstance(file, (str, bytes, os.PathLike)):
            raise TypeError(f"zavevuv.{name}() with a take works on a path, not {type(file).__name__}")
        filename = os.fspath(file)
        call = _lib.zavevuv_check_like if name == "check" else _lib.zavevuv_rebuild
        call(_path(name, file), None if like is None else _path(name, like), ctypes.byref(raw))
        if raw.outcome == Outcome.INVALID.value and like is not None:
            raise ValueError(f"zavevuv.{name}(): {os.fsdecode(like)!r} is no take whose header stands "
                             "and whose samples can be tested, or cannot be read")
    elif isinstance(file, (str, bytes, os.PathLike)):
        filename = os.fspath(file)
        getattr(_lib, "zavevuv_" + name)(_path(name, file), ctypes.byref(raw))
    else:
        if isinstance(file, bool) or not isinstance(file, int) and not hasattr(file, "fileno"):
            raise TypeError(f"zavevuv.{name}() takes {_ACCEPTED}, not {type(file).__name__}")
        given = getattr(file, "name", None)
        filename = given if isinstance(given, (str, bytes)) else None  # open(fd).name is fd
        fd = _descriptor(name, file)
        if not -2**31 <= fd < 2**31:
            raise OverflowError(f"zavevuv.{name}(): fd {fd} is out of range")  # as os.fstat says
        getattr(_lib, f"zavevuv_{name}_fd")(fd, ctypes.byref(raw))
    outcome = Outcome(raw.outcome)
    if outcome == Outcome.BUSY:
        raise Busy(errno.EAGAIN, "another process holds the file; nothing written, try again", filename)
    if outcome in (Outcome.CANNOT_OPEN, Outcome.READ_FAILED, Outcome.WRITE_FAILED, Outcome.INVALID):
        code = raw.error or errno.EIO
        raise OSError(code, os.strerror(code), filename)  # the subclass the errno names
    if outcome == Outcome.NO_MEMORY:
        raise MemoryError(f"zavevuv.{name}(): out of memory")

    def known(n: int) -> Optional[int]:
        return None if n == _UNKNOWN else n

    found = raw.data_chunk != _UNKNOWN  # no data chunk: no sizes to tell
    reads = None
    if raw.encoding:
        reads = Format(Encoding(raw.encoding), 8 * raw.sample_bytes, bool(raw.big_endian),
                       raw.channels or None, bool(raw.channels_assumed))
    return Report(outcome, raw.error, known(raw.data_chunk), raw.audio_bytes if found else None,
                  known(raw.frames), raw.stated_bytes if found else None, raw.fields,
                  bool(raw.rf64), bool(raw.insert), raw.write_error, Kind(raw.kind),
                  raw.sample_rate or None, known(raw.stated_frames), name == "check",
                  Shape(raw.shape), Refusal(raw.refusal), reads,
                  None if filename is None else os.fsdecode(filename))


def check(file: File, like: Optional[Path] = None) -> Report:
    """Examines `file` (WAV, RF64/BW64, AIFF, AIFF-C or Wave64) read-only: what a
    repair would do; with `like`, a take whose header stands, what rebuild() would."""
    return _call("check", file, like)


def repair(file: File) -> Report:
    """Repairs `file` (WAV, RF64/BW64, AIFF, AIFF-C or Wave64) in place, as
    `zavevuv FILE` does: its size fields made true, synced. A descriptor or file
    object must be open for reading and writing, without O_APPEND ("r+b")."""
    return _call("repair", file)


def rebuild(file: Path, like: Path) -> Report:
    """Rebuilds `file`, whose header is gone, in place from `like`, a take of the
    same recorder and session whose header stands: its container and format, with
    true sizes. Only where the audio reads as that format (else HEADER_GONE, and
    the report's refusal says why); a file whose header stands is repaired."""
    return _call("repair", file, like)


def guess(file: Path) -> Report:
    """Examines `file` read-only; where its header is gone and its bytes read as
    audio, HEADER_GONE, with what they read as in `reads_as`."""
    return _call("check", file, guess=True)
