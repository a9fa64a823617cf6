#!/usr/bin/env bash
# Sets up the machine, builds the program and shows a demonstration test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh release

demo=build/demo
mkdir -p "$demo"
build/tools/tkan-cli demo "$demo/Demo.tst-tkan"
build/tools/tkan-cli dump "$demo/Demo.tst-tkan"
