#!/usr/bin/env bash
# The installed program as the desktop sees it:
#   install_test.sh install  BUILD PREFIX [--exporter] [--report-data]
#       installs BUILD into PREFIX and checks that every file is there
#   install_test.sh validate PREFIX
#       the desktop entry, the AppStream metadata and the manual pages pass
#       their validators
#   install_test.sh mime     PREFIX
#       the MIME database built in PREFIX knows test files by their first
#       bytes and names, and hands them to tkan.desktop
#   install_test.sh package  BUILD
#       the Debian package made from BUILD passes lintian without errors
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
failures=0
mode=$1
shift

case "$mode" in
  install)
    build=$1 prefix=$2
    shift 2
    rm -rf "$prefix"
    cmake --install "$build" --prefix "$prefix" >/dev/null
    expected=(
      bin/tkan bin/tkan-cli bin/tkan-sim
      lib/udev/rules.d/60-tkan-hid.rules
      share/applications/tkan.desktop
      share/icons/hicolor/scalable/apps/tkan.svg
      share/metainfo/com.brennix.tkan.metainfo.xml
      share/mime/packages/tkan.xml
      share/man/man1/tkan.1.gz share/man/man1/tkan-cli.1.gz share/man/man1/tkan-sim.1.gz
      share/doc/tkan/copyright share/doc/tkan/changelog.gz
    )
    for option in "$@"; do
      case "$option" in
        --exporter) expected+=(bin/bxReportExport share/man/man1/bxReportExport.1.gz) ;;
        --report-data) expected+=(share/tkan/tkanreport.mrt share/tkan/tkandata.xsd) ;;
      esac
    done
    for path in "${expected[@]}"; do
      [ -f "$prefix/$path" ] || fail "$path not installed"
    done
    for program in "$prefix"/bin/*; do
      [ -x "$program" ] || fail "$program is not executable"
    done
    # A desktop entry that names a program the install does not have gives a
    # menu item that does nothing.
    exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/applications/tkan.desktop")
    [ -x "$prefix/bin/${exec_line%% *}" ] || fail "Exec=$exec_line names no installed program"
    ;;

  validate)
    prefix=$1
    desktop-file-validate "$prefix/share/applications/tkan.desktop" || fail "desktop entry"
    appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/com.brennix.tkan.metainfo.xml" >/dev/null ||
      fail "AppStream metadata: $(appstreamcli validate --no-net --pedantic \
        "$prefix/share/metainfo/com.brennix.tkan.metainfo.xml" 2>&1)"
    for page in "$prefix"/share/man/man1/*.1.gz; do
      warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
      [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
    done
    ;;

  mime)
    prefix=$1
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    # Only the prefix and the system's own types; nothing of the user's. The
    # desktop finds the program on the PATH, as it would after an install.
    export XDG_DATA_DIRS="$prefix/share:/usr/share" XDG_DATA_HOME="$work/home-data"
    export XDG_CONFIG_HOME="$work/home-config" XDG_CONFIG_DIRS="$work/config"
    export GIO_USE_VFS=local PATH="$prefix/bin:$PATH"
    # The caches the system's package triggers build after an install.
    update-mime-database "$prefix/share/mime"
    update-desktop-database "$prefix/share/applications"
    type_of() { gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'; }
    expect() {
      local got
      got=$(type_of "$work/$2")
      [ "$got" = "$1" ] || fail "$2 is '$got', expected '$1'"
    }
    ours=application/x-tkan-test

    # What the program writes, named as a file manager may show it: no extension.
    "$prefix/bin/tkan-cli" demo "$work/dynamic" >/dev/null
    "$prefix/bin/tkan-cli" demo "$work/static" --static >/dev/null
    { printf 'TKAN'; head -c 2600 /dev/zero; } >"$work/old-analyser"
    { printf 'RKZ-'; head -c 2600 /dev/zero; } >"$work/old-meter"
    cp "$work/dynamic" "$work/Record7.test"
    printf 'RKZ TEST RESULTS\r\n' >"$work/results.tst-rkz"
    printf 'RKZ TEST RESULTS\r\n' >"$work/RESULTS.TST-TKAN"
    printf 'RKZ TEST RESULTS\r\n' >"$work/unit.test"
    expect $ours dynamic
    expect $ours static
    expect $ours old-analyser
    expect $ours old-meter
    expect $ours Record7.test
    expect $ours results.tst-rkz
    expect $ours RESULTS.TST-TKAN
    # A ".test" name alone does not make a test file: the program rejects
    # such a file, so the desktop must not offer it.
    got=$(type_of "$work/unit.test")
    [ "$got" != $ours ] || fail "a text file named .test is taken for a test file"

    # A double-click opens the type in the program.
    handlers=$(gio mime $ours)
    grep -qx $'\ttkan.desktop' <<<"$handlers" || fail "tkan.desktop is not registered for $ours: $handlers"
    ;;

  package)
    build=$1
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    (cd "$build" && cpack -G DEB -B "$work" >/dev/null)
    lintian --fail-on error "$work"/tkan_*.deb || fail "lintian finds errors in the package"
    ;;

  *)
    echo "usage: install_test.sh install|validate|mime|package ..." >&2
    exit 2
    ;;
esac

if [ $failures -ne 0 ]; then
  exit 1
fi
