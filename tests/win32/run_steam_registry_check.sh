#!/usr/bin/env bash
# Cross-compiles the registry look-up of Steam with a console check and runs it under Wine,
# in a Wine prefix of its own. Usage: run_steam_registry_check.sh <source root> <work folder>.
# Exit 77 (skipped) without the tools.
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
    "$source_root/gamedir/steam_registry_win.cpp" \
    "$source_root/tests/win32/steam_registry_check.cpp" \
    -o "$work/steam_registry_check.exe" || { echo "FAIL: cross-compilation"; exit 1; }

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '"$wineserver" -k 2>/dev/null' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot -i || { echo "FAIL: wineboot"; exit 1; }
fi
"$wine" "$work/steam_registry_check.exe"
