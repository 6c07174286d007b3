#!/usr/bin/env bash
# Cross-compiles the Windows process list with a console check and runs it under Wine.
# Usage: run_check.sh <source root> <work folder>. Exit 77 (skipped) without the tools.
set -u
source_root=$1
work=$2
skip=77

compiler=x86_64-w64-mingw32-g++-posix
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
if ! command -v "$compiler" >/dev/null; then
    echo "SKIP: $compiler is not installed"; exit $skip
fi
if [ ! -x "$wine" ] || [ ! -x "$wineserver" ]; then
    echo "SKIP: wine64 is not installed"; exit $skip
fi

mkdir -p "$work"
"$compiler" -std=c++17 -static -O1 -Wall -Wextra -I "$source_root" \
    "$source_root/gamedir/process_snapshot_win.cpp" \
    "$source_root/tests/win32/process_snapshot_check.cpp" \
    -o "$work/process_snapshot_check.exe" || { echo "FAIL: cross-compilation"; exit 1; }

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '"$wineserver" -k 2>/dev/null' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot -i || { echo "FAIL: wineboot"; exit 1; }
fi

fake_root="$work/fake/Game"
windows_root="Z:${fake_root//\//\\}"
"$wine" "$work/process_snapshot_check.exe" "$windows_root"
