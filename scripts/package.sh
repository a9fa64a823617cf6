#!/usr/bin/env bash
# Builds the Debian package (build-package/tkan_VERSION_ARCH.deb) and checks
# it with lintian: scripts/package.sh
# A release build with Debian's hardening flags, installed under /usr; the
# package's library dependencies are found from its binaries.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

# The flags are given each time: the environment's are read only when the
# build folder is first made.
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DTKAN_BENCH=OFF -DTKAN_WERROR=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build build-package --target tkan_installed
rm -f build-package/tkan_*.deb
(cd build-package && cpack -G DEB >/dev/null)

deb=$(ls build-package/tkan_*.deb)
# Errors fail the package; warnings are shown for a person to judge.
lintian --fail-on error "$deb"
echo "package: $deb"
