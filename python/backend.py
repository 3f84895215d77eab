# SPDX-License-Identifier: MIT
"""The build backend of the zavevuv package: a wheel of the package with
libzavevuv inside it, built by the project's own CMake, its version the
project's (from ../CMakeLists.txt). Needs nothing beyond the standard
library, cmake and a C++ compiler, so pip installs it offline."""
from __future__ import annotations

import base64
import hashlib
import os
import re
import subprocess
import sys
import sysconfig
import tempfile
import zipfile
from typing import Any, Dict, Iterator, Optional, Tuple

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SONAME = "libzavevuv.so.1"


def _version() -> str:
    text = open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8").read()
    found = re.search(r"^\s*VERSION\s+([0-9.]+)", text, re.M)
    if found is None:
        raise RuntimeError("no VERSION in the project's CMakeLists.txt")
    return found.group(1)


def _tag() -> str:
    """The wheel holds a compiled library: for this platform alone."""
    return "py3-none-" + re.sub(r"[^A-Za-z0-9]", "_", sysconfig.get_platform())


def _library(work: str) -> bytes:
    """libzavevuv.so.1, built without the tests by the project's CMake in `work`.
    cmake's own output goes to pip's log (pip -v shows it)."""
    build = os.path.join(work, "build")
    steps = [["cmake", "-S", ROOT, "-B", build, "-DBUILD_TESTING=OFF", "-DCMAKE_BUILD_TYPE=Release"],
             ["cmake", "--build", build, "--target", "zavevuv_shared", "-j", str(os.cpu_count() or 1)]]
    for step in steps:
        try:
            subprocess.run(step, check=True, stdout=sys.stderr)
        except FileNotFoundError as error:
            raise RuntimeError("building zavevuv needs cmake and a C++20 compiler "
                               "(Debian: cmake g++)") from error
    with open(os.path.join(build, SONAME), "rb") as library:
        return library.read()


def _files(version: str, library: bytes) -> Iterator[Tuple[str, bytes]]:
    info = f"zavevuv-{version}.dist-info"
    for name in sorted(os.listdir(os.path.join(HERE, "zavevuv"))):
        if name.endswith(".py") or name == "py.typed":
            yield f"zavevuv/{name}", open(os.path.join(HERE, "zavevuv", name), "rb").read()
    yield f"zavevuv/{SONAME}", library
    yield f"{info}/METADATA", (
        "Metadata-Version: 2.1\nName: zavevuv\n"
        f"Version: {version}\nSummary: Check and repair the size fields of audio file headers "
        "(WAV, RF64/BW64, AIFF, AIFF-C, Wave64) in place, and rebuild a header that is gone "
        "(libzavevuv)\nLicense: MIT\nRequires-Python: >=3.8\n").encode()
    yield f"{info}/WHEEL", (f"Wheel-Version: 1.0\nGenerator: zavevuv backend\n"
                            f"Root-Is-Purelib: false\nTag: {_tag()}\n").encode()


def build_wheel(wheel_directory: str, config_settings: Optional[Dict[str, Any]] = None,
                metadata_directory: Optional[str] = None) -> str:
    version = _version()
    name = f"zavevuv-{version}-{_tag()}.whl"
    record = []
    with tempfile.TemporaryDirectory(prefix="zavevuv-build-") as work:
        library = _library(work)
    with zipfile.ZipFile(os.path.join(wheel_directory, name), "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in _files(version, library):
            info = zipfile.ZipInfo(path, date_time=(2026, 1, 1, 0, 0, 0))
            info.external_attr = (0o755 if path.endswith(SONAME) else 0o644) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(info, data)
            digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
            record.append(f"{path},sha256={digest},{len(data)}")
        record.append(f"zavevuv-{version}.dist-info/RECORD,,")
        wheel.writestr(f"zavevuv-{version}.dist-info/RECORD", "\n".join(record) + "\n")
    return name
