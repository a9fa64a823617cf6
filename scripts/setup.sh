#!/usr/bin/env bash
# Installs the Debian packages the program needs to build, run and test, and
# only those that are missing: a second run with everything present does
# nothing and asks no package server.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-qpa-plugins
  libhidapi-dev libxlsxwriter-dev nlohmann-json3-dev
  fonts-dejavu-core
  clang libclang-rt-14-dev clang-format
  poppler-utils
  appstream desktop-file-utils dpkg-dev libglib2.0-bin lintian man-db shared-mime-info
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
