#!/bin/sh
# SPDX-License-Identifier: MIT
# The library as its users meet it: installed to a folder of its own, found
# by find_package, and imported from Python as pip installs it (CI builds
# against the installed package by pkg-config).
#   consumer.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1 source=$2
for tool in cc objdump python3; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool not found, the consumer builds need it"; exit 0; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/stage" >/dev/null
lib=$(find "$work/stage" -name 'libzavevuv.so.1' | head -n 1)
libdir=$(dirname "$lib")

echo "== the shared library exports zavevuv_* alone, each in the version node the symbols file gives"
objdump -T "$lib" | awk 'NF > 5 && $(NF-3) !~ /^\*(UND|ABS)\*$/ {print " " $NF "@" $(NF-1)}' | sort | tee "$work/exported"
sed -n 's/^ \(zavevuv_[^ ]*\) .*/ \1/p' "$build/generated/symbols" | diff - "$work/exported" ||
  { echo "FAIL: exported other than the symbols file says"; exit 1; }

# A crashed take, as the build's sample is.
take() { "$build/make_sample" "$1" >/dev/null; }

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

echo "== the Python package finds the library cmake --install put beside it, without LD_LIBRARY_PATH"
site=$(dirname "$(dirname "$(find "$work/stage" -path '*/zavevuv/__init__.py')")")
take "$work/py.wav"
env -u LD_LIBRARY_PATH PYTHONPATH="$site" python3 "$source/examples/launch.py" "$work/py.wav"

echo "== the dependency dpkg-shlibdeps gives a program by the calls it makes"
if command -v dpkg-shlibdeps >/dev/null; then
  package="$work/app/debian/libzavevuv1"
  mkdir -p "$package/DEBIAN" "$package/lib" && cp -P "$libdir"/libzavevuv.so* "$package/lib"
  cp "$build/generated/symbols" "$package/DEBIAN/symbols"
  printf 'Source: app\n\nPackage: app\nArchitecture: any\n' > "$work/app/debian/control"
  for row in "zavevuv_version_number()|1.5.0" "zavevuv_repair(argv[1], 0)|1.9.0" \
             "zavevuv_rebuild(argv[1], argv[1], 0)|1.10.0"; do
    printf '#include <zavevuv.h>\nint main(int argc, char **argv) { return argc > 9 ? %s : 0; }\n' \
      "${row%|*}" > "$work/app/app.c"
    cc -I"$work/stage/include" "$work/app/app.c" -L"$libdir" -lzavevuv -o "$work/app/app"
    depends=$(cd "$work/app" && dpkg-shlibdeps -O -ldebian/libzavevuv1/lib app 2>/dev/null)
    echo "${row%|*}: $depends"
    case $depends in *"libzavevuv1 (>= ${row#*|})"*) ;; *) echo "FAIL: want >= ${row#*|}"; exit 1 ;; esac
  done
else
  echo "skipped: dpkg-shlibdeps not found (Debian: dpkg-dev)"
fi

echo "== pip install ./python in a fresh venv, offline: the library built into the package"
if python3 -m venv "$work/venv" >/dev/null 2>&1; then
  started=$(date +%s)
  "$work/venv/bin/python" -m pip install -q --no-index "$source/python"
  echo "installed in $(( $(date +%s) - started )) s"
  take "$work/venv.wav" && unset LD_LIBRARY_PATH PYTHONPATH ZAVEVUV_LIBRARY
  "$work/venv/bin/python" -c 'import os, zavevuv
assert zavevuv._lib._name == os.path.join(os.path.dirname(zavevuv.__file__), "libzavevuv.so.1")'
  "$work/venv/bin/python" "$source/examples/launch.py" "$work/venv.wav" "$work/venv.wav"
else
  echo "skipped: python3 -m venv cannot make a venv with pip here (Debian: python3-venv)"
fi
