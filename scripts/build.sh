#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh [release|asan|fuzz].
# Warnings stop the build only when TKAN_WERROR=ON is in the environment (CI
# sets it); a developer's build goes on past them.
set -euo pipefail
cd "$(dirname "$0")/.."

kind=${1:-release}
werror=${TKAN_WERROR:-OFF}
case "$werror" in
  ON | OFF) ;;
  *)
    echo "build: TKAN_WERROR must be ON or OFF, not '$werror'" >&2
    exit 2
    ;;
esac

case "$kind" in
  release)
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTKAN_WERROR=$werror >/dev/null
    cmake --build build
    ;;
  asan)
    # Everything the tests run, the Qt faces included, under AddressSanitizer
    # and UBSan.
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTKAN_SANITIZE=ON \
      -DTKAN_CORE_ONLY=OFF -DTKAN_BENCH=OFF -DTKAN_WERROR=$werror >/dev/null
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
