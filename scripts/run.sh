#!/usr/bin/env bash
# Sets up the machine, builds the program and starts it on a demonstration
# test, with the built-in simulated instrument in place of a real one.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/build.sh release

demo=build/demo
mkdir -p "$demo"
build/tools/tkan-cli demo "$demo/Demo.tst-tkan"
exec build/src/tkan --simulate "$demo/Demo.tst-tkan"
