#!/usr/bin/env bash
# Formats the tracked C++ sources with the house style (.clang-format):
#   scripts/format.sh           formats them in place
#   scripts/format.sh --check   changes nothing; lists the files that would
#                               change and fails when there is one
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
case "${1:-}" in
  "") ;;
  --check) check=1 ;;
  *)
    echo "usage: scripts/format.sh [--check]" >&2
    exit 2
    ;;
esac

formatter=${CLANG_FORMAT:-clang-format}
if ! command -v "$formatter" >/dev/null 2>&1; then
  echo "format: $formatter not found (scripts/setup.sh installs it)" >&2
  exit 2
fi
# Another major version lays some constructs out differently, so its verdict
# would not be the one CI gives.
version=$("$formatter" --version | sed -n 's/.*version \([0-9]*\).*/\1/p')
if [ "$version" != "14" ]; then
  echo "format: warning: $formatter is version ${version:-unknown}, the style is tuned for 14" >&2
fi

mapfile -t files < <(git ls-files -- src tools tests fuzz bench | grep -E '\.(h|hpp|cpp|cc)$')
if [ ${#files[@]} -eq 0 ]; then
  echo "format: no C++ files found" >&2
  exit 2
fi

if [ $check -eq 0 ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -n 16 -P "$(nproc)" "$formatter" -i --style=file
  exit 0
fi

differ=()
for f in "${files[@]}"; do
  if ! "$formatter" --style=file "$f" | cmp -s - "$f"; then
    differ+=("$f")
  fi
done
if [ ${#differ[@]} -gt 0 ]; then
  echo "These files differ from the house style (scripts/format.sh formats them):" >&2
  printf '  %s\n' "${differ[@]}" >&2
  exit 1
fi
