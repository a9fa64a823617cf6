#!/usr/bin/env bash
# Start-up time of the desktop program: from exec to the first paint of the
# main window with a dynamic test open, on the offscreen platform so that no
# display is needed. Run by hand after a build:
#   bench/startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
runs=${2:-20}
tkan="$build/src/tkan"
cli="$build/tools/tkan-cli"
for exe in "$tkan" "$cli"; do
  if [ ! -x "$exe" ]; then
    echo "startup.sh: $exe is missing; build first" >&2
    exit 2
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cli" demo "$work/Demo.tst-tkan" >/dev/null
# Settings of its own, so the operator's recent files and folders stay as
# they are.
export XDG_CONFIG_HOME="$work/config"
export QT_QPA_PLATFORM=offscreen
cmd=("$tkan" --exit-after-first-paint "$work/Demo.tst-tkan")

if command -v hyperfine >/dev/null 2>&1; then
  hyperfine --warmup 3 --runs "$runs" "${cmd[*]}"
  exit 0
fi

"${cmd[@]}" 2>/dev/null  # warm the file cache
total=0
best=
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  "${cmd[@]}" 2>/dev/null
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  total=$((total + ms))
  if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
done
echo "tkan start-up to first paint: mean $((total / runs)) ms, best $best ms over $runs runs"
