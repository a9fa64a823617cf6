#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh [release|asan|fuzz].
set -euo pipefail
cd "$(dirname "$0")/.."

kind=${1:-release}
werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi

case "$kind" in
  release)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTKAN_WERROR=$werror >/dev/null
    cmake --build build
    ;;
  asan)
    # The core and its tests under AddressSanitizer and UBSan.
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTKAN_SANITIZE=ON \
      -DTKAN_CORE_ONLY=ON -DTKAN_BENCH=OFF -DTKAN_WERROR=$werror >/dev/null
    cmake --build build-asan
    ;;
  fuzz)
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ -DTKAN_FUZZ=ON -DTKAN_CORE_ONLY=ON -DTKAN_BENCH=OFF \
      -DTKAN_WERROR=$werror >/dev/null
    cmake --build build-fuzz
    ;;
  *)
    echo "usage: scripts/build.sh [release|asan|fuzz]" >&2
    exit 2
    ;;
esac
