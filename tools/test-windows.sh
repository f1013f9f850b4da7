#!/usr/bin/env bash
# The Windows build, proven under Wine: cross-builds the mingw preset and its
# release zip, makes one Wine prefix for this run, runs the unit tests there
# and the end-to-end suite against the vorlan-setup.exe unpacked from the zip.
# VORLAN_WINE may name the Wine loader (see tools/wine.sh); the suites get
# it in VORLAN_WINE.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
source tools/wine.sh

wine=$(wine_loader)
wineserver=$(wine_server)
if [[ ! -x $wine ]]; then
    echo "FAILED: no Wine loader at $wine (package wine64)" >&2
    exit 1
fi

cmake --preset mingw
cmake --build --preset mingw
cmake --build --preset mingw --target package
# The suite is a Linux program that drives the Windows one.
cmake --preset default >/dev/null
cmake --build --preset default --target vorlan_e2e_tests vorlan_reliability_tests

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vorlan-windows-XXXXXX")
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
stop_wine() {
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$scratch"
}
trap stop_wine EXIT

zip=$(ls build/mingw/vorlan-setup-*.zip)
mkdir "$scratch/release"
(cd "$scratch/release" && cmake -E tar xf "$top/$zip")
for file in vorlan-setup.exe README.md; do
    if [[ ! -f $scratch/release/$file ]]; then
        echo "FAILED: $zip holds no $file" >&2
        exit 1
    fi
done
echo "$zip holds: $(cd "$scratch/release" && echo *)"

# Debian's Wine, with no preloader, now and then dies as a process starts when
# the kernel puts its heap over a page Wine needs (README, "The Windows build").
# Every Wine program here, and every one they start, gets fixed addresses.
fixed_addresses() { setarch "$(uname -m)" -R "$@"; }

# One server for the whole run: without it every run would start Wine's
# services anew, seconds each. It lives in the prefix's folder.
mkdir "$WINEPREFIX"
"$wineserver" -p </dev/null >/dev/null 2>&1
fixed_addresses timeout 300 "$wine" wineboot -i </dev/null >/dev/null 2>&1

fixed_addresses timeout 300 "$wine" build/mingw/tests/vorlan_unit_tests.exe </dev/null
# Under Wine a test holds files through a Windows program of the suite's own.
VORLAN_HOLD_FILE=$top/build/mingw/tests/vorlan_hold_file.exe VORLAN_SETUP=$scratch/release/vorlan-setup.exe \
    VORLAN_WINE=$wine fixed_addresses timeout 900 build/default/tests/vorlan_e2e_tests </dev/null
VORLAN_SETUP=$scratch/release/vorlan-setup.exe VORLAN_WINE=$wine \
    fixed_addresses timeout 900 build/default/tests/vorlan_reliability_tests --gtest_filter='ConcurrentRuns.*' </dev/null
echo "Windows suite passed"
