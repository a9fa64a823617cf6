#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test: the normal build, all of it
# again under AddressSanitizer and UBSan (the Qt faces on the offscreen
# platform), and the fuzz targets for a short, bounded time each when clang is
# present.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

jobs=$(nproc)
scripts/build.sh release
(cd build && ctest --output-on-failure -j "$jobs")

scripts/build.sh asan
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j "$jobs")

if command -v clang++ >/dev/null 2>&1; then
  scripts/build.sh fuzz
  (cd build-fuzz && ctest --output-on-failure -L fuzz)
fi
