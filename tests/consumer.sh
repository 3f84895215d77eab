#!/bin/sh
# SPDX-License-Identifier: MIT
# The library as its users meet it: installed to a folder of its own, found
# by find_package, and imported from Python as pip installs it (CI builds
# against the installed package by pkg-config).
#   consumer.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1 source=$2
for tool in cc nm python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool not found, the consumer builds need it"; exit 0; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/stage" >/dev/null
lib=$(find "$work/stage" -name 'libzavevuv.so.1' | head -n 1)
libdir=$(dirname "$lib")

echo "== the shared library exports zavevuv_* alone"
nm -D --defined-only "$lib" | awk '{print $NF}' | tee "$work/symbols"
if grep -v '^zavevuv_' "$work/symbols"; then echo "FAIL: exported beyond zavevuv_*"; exit 1; fi

# A crashed take: the sizes a recorder writes before its first sample.
take() {
  python3 -c '
import struct, sys
audio = bytes(range(256)) * 16
fmt = struct.pack("<HHIIHH", 1, 2, 44100, 176400, 4, 16)
head = b"RIFF" + struct.pack("<I", 36) + b"WAVEfmt " + struct.pack("<I", 16) + fmt
open(sys.argv[1], "wb").write(head + b"data" + struct.pack("<I", 0) + audio)' "$1"
}

echo "== built by find_package, shared and static"
cmake -S "$source/tests/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/stage" \
  -DCMAKE_C_FLAGS="-std=c11 -Wall -Wextra -Wpedantic -Wconversion -Wshadow -Werror" >/dev/null
cmake --build "$work/consumer" >/dev/null
for program in launch launch_static; do
  take "$work/$program.wav"
  LD_LIBRARY_PATH="$libdir" "$work/consumer/$program" "$work/$program.wav" "$work/$program.wav"
done
if ldd "$work/consumer/launch_static" | grep -q libzavevuv; then
  echo "FAIL: the static build loads libzavevuv.so"; exit 1
fi

echo "== the Python package finds its library without LD_LIBRARY_PATH: installed with it, or by pip beside it"
site=$(dirname "$(dirname "$(find "$work/stage" -path '*/zavevuv/__init__.py')")")
take "$work/py.wav"
env -u LD_LIBRARY_PATH PYTHONPATH="$site" python3 "$source/examples/launch.py" "$work/py.wav"
mkdir -p "$work/beside/lib" && cp -P "$libdir"/libzavevuv.so* "$work/beside/lib"
python3 -m pip install -q --no-index --prefix "$work/beside" "$source/python" 2>/dev/null ||
  { echo "FAIL: pip install ./python"; exit 1; }
site=$(dirname "$(dirname "$(find "$work/beside" -path '*/zavevuv/__init__.py')")")
take "$work/py.wav"
env -u LD_LIBRARY_PATH PYTHONPATH="$site" python3 "$source/examples/launch.py" "$work/py.wav"
