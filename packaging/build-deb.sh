#!/usr/bin/env bash
# Builds the Debian package tarnwick_VERSION_ARCH.deb in build-pkg/ (or
# $BUILD_DIR): a Release tree without tests or benchmarks, compiled with
# Debian's hardening flags, installed and packed by CPack. Extra arguments go
# to cmake. Prints the package's path, and nothing else, on stdout.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$top/build-pkg}

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF -DTARNWICK_FUZZ=OFF \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)" >&2
rm -f "$build"/tarnwick_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/tarnwick_*.deb
