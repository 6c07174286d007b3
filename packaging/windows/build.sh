#!/usr/bin/env bash
# Makes the Windows release files on Debian, in build-windows/:
#   zorbel-skins-<version>-win64.zip    the program folder, to unpack and run anywhere
#   zorbel-skins-<version>-setup.exe    an NSIS installer (Chinese, per user, /S for silent)
# Builds the cross toolchain first when it is not cached (scripts/windows-toolchain.sh).
#
# A release is keyed: ZORBEL_UPDATE_PUBLIC_KEY (the update signing key) and ZORBEL_SERVER_HOST
# are required, since a program without a key would take any file a record names as its
# update. `build.sh --testing` makes files without them, for tests only.
# With ZORBEL_SIGN_PKCS12 or ZORBEL_SIGN_PKCS11_MODULE (see sign-file.sh) the program, the
# uninstaller and the setup are signed with Authenticode.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
out=$root/build-windows

say() { printf '[windows-package] %s\n' "$*"; }

testing=0
[ "${1:-}" = --testing ] && testing=1
if [ $testing -eq 0 ] && { [ -z "${ZORBEL_UPDATE_PUBLIC_KEY:-}" ] || [ -z "${ZORBEL_SERVER_HOST:-}" ]; }; then
    say "refused: a release needs ZORBEL_UPDATE_PUBLIC_KEY and ZORBEL_SERVER_HOST (or --testing for a test build)"
    exit 2
fi
[ -n "${ZORBEL_UPDATE_PUBLIC_KEY:-}" ] || say "test build WITHOUT an update key: it takes unsigned updates"
signing=0
if [ -n "${ZORBEL_SIGN_PKCS12:-}${ZORBEL_SIGN_PKCS11_MODULE:-}" ]; then
    signing=1
elif [ $testing -eq 0 ]; then
    say "no code-signing certificate given: the files are not signed with Authenticode"
fi
sign() { [ $signing -eq 0 ] || packaging/windows/sign-file.sh "$1"; }

scripts/install-deps.sh package
scripts/windows-toolchain.sh

say "cross-building the program (Release) …"
cmake --no-warn-unused-cli -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/windows-mingw.cmake \
    -DCMAKE_STRIP=/usr/bin/x86_64-w64-mingw32-strip -DZORBEL_BUILD_TESTS=OFF -DZORBEL_BUILD_DEMO_SERVER=OFF \
    ${ZORBEL_SERVER_HOST:+-DZORBEL_SERVER_HOST="$ZORBEL_SERVER_HOST"} \
    ${ZORBEL_UPDATE_PUBLIC_KEY:+-DZORBEL_UPDATE_PUBLIC_KEY="$ZORBEL_UPDATE_PUBLIC_KEY"} >/dev/null
nice -n 5 cmake --build "$out" --target zorbel-skins
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/CMakeCache.txt")
name=zorbel-skins-$version-win64

# The folder both packages are made of: exactly what the install rules name.
stage=$out/stage/$name
rm -rf "$out/stage"
cmake --install "$out" --prefix "$stage" --strip >/dev/null
find "$stage" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

# Every DLL beside the program must be loaded by it, by a plugin or by another such DLL.
imports() { x86_64-w64-mingw32-objdump -p "$@" | sed -n 's/^\tDLL Name: //p' | sort -u; }
loaded=$(imports "$stage"/zorbel-skins.exe "$stage"/*/*.dll)
for _ in 1 2 3; do
    loaded=$( { echo "$loaded"; for dll in $loaded; do if [ -f "$stage/$dll" ]; then imports "$stage/$dll"; fi; done; } | sort -u)
done
for dll in "$stage"/*.dll; do
    grep -qxF "$(basename "$dll")" <<<"$loaded" || { say "nothing loads $(basename "$dll")"; exit 1; }
done
sign "$stage/zorbel-skins.exe"
# Fixed file times (the commit's) and order, so the zip does not depend on when it was made.
epoch=$(git log -1 --format=%ct 2>/dev/null || echo 0)
find "$stage" -exec touch -h -d "@$epoch" {} +

zip=$out/$name.zip
rm -f "$zip"
(cd "$out/stage" && find "$name" -type f | LC_ALL=C sort | zip -X -q -9 "$zip" -@)
say "$(basename "$zip"): $(stat -c %s "$zip") bytes"

# The uninstaller removes exactly the files it installed (plus what the program adds there).
uninstall_list=$out/stage/uninstall-files.nsh
(cd "$stage" && {
    find . -type f | LC_ALL=C sort | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
    find . -mindepth 1 -type d | LC_ALL=C sort -r | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|'
}) > "$uninstall_list"

setup=$out/zorbel-skins-$version-setup.exe
# makensis signs the uninstaller it writes and the setup itself through the same script.
sign_option=()
[ $signing -eq 0 ] || sign_option=(-DSIGN_COMMAND="$root/packaging/windows/sign-file.sh")
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DUNINSTALL_LIST="$uninstall_list" \
    "${sign_option[@]}" -DOUTFILE="$setup" packaging/windows/installer.nsi
say "$(basename "$setup"): $(stat -c %s "$setup") bytes"
