# SPDX-License-Identifier: MIT
"""The build backend of the zavevuv package: a wheel of the pure-Python
package, its version the project's own (from ../CMakeLists.txt). Needs
nothing beyond the standard library, so pip installs it offline."""
import base64
import hashlib
import os
import re
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
TAG = "py3-none-any"


def _version():
    text = open(os.path.join(HERE, "..", "CMakeLists.txt"), encoding="utf-8").read()
    return re.search(r"^\s*VERSION\s+([0-9.]+)", text, re.M).group(1)


def _files(version):
    info = f"zavevuv-{version}.dist-info"
    for name in sorted(os.listdir(os.path.join(HERE, "zavevuv"))):
        if name.endswith(".py") or name == "py.typed":
            yield f"zavevuv/{name}", open(os.path.join(HERE, "zavevuv", name), "rb").read()
    yield f"{info}/METADATA", (
        "Metadata-Version: 2.1\nName: zavevuv\n"
        f"Version: {version}\nSummary: Check and repair the size fields of WAV file headers "
        "in place (libzavevuv)\nLicense: MIT\nRequires-Python: >=3.8\n").encode()
    yield f"{info}/WHEEL", (f"Wheel-Version: 1.0\nGenerator: zavevuv backend\n"
                            f"Root-Is-Purelib: true\nTag: {TAG}\n").encode()


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    version = _version()
    name = f"zavevuv-{version}-{TAG}.whl"
    record = []
    with zipfile.ZipFile(os.path.join(wheel_directory, name), "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in _files(version):
            wheel.writestr(path, data)
            digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
            record.append(f"{path},sha256={digest},{len(data)}")
        record.append(f"zavevuv-{version}.dist-info/RECORD,,")
        wheel.writestr(f"zavevuv-{version}.dist-info/RECORD", "\n".join(record) + "\n")
    return name
