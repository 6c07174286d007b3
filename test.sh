#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds (a warning in the project's own
# code fails the build), and runs every test through ctest.
# In CI (CI=true) the build uses AddressSanitizer and UndefinedBehaviorSanitizer.
#   ./test.sh --quick        format, Linux build, Linux suites (the daily loop)
#   ./test.sh -R tst_x       builds and runs that suite alone; other ctest options pass through
set -euo pipefail
cd "$(dirname "$0")"

quick=0
if [ "${1:-}" = --quick ]; then
    quick=1
    shift
fi
# One suite named exactly: only it (and the program its copies run as the game) is built.
targets=()
if [ $# -eq 2 ] && [ "$1" = -R ] && [ -f "tests/$2.cpp" ]; then
    targets=(--target "$2" wait_program)
fi

scripts/install-deps.sh test

# The house rules first: a file that clang-format would change fails the run (after the tests,
# so that one run shows every failure).
format_status=0
scripts/check-format.sh 2>format-check.log || { format_status=1; head -n 40 format-check.log; }
echo "format check: $([ $format_status -eq 0 ] && echo passed || echo "FAILED (full list: format-check.log)")"

sanitize=OFF
dir=build-test
if [ "${CI:-}" = "true" ] || [ "${ZORBEL_SANITIZE:-}" = "1" ]; then
    sanitize=ON
    dir=build-asan
fi

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZORBEL_SANITIZE=$sanitize -DZORBEL_WERROR=ON >/dev/null
cmake --build "$dir" "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
cd "$dir"
if [ $# -gt 0 ]; then
    ctest_status=0
    ctest --output-on-failure -j2 "$@" || ctest_status=1
    exit $(( format_status | ctest_status ))
fi
if [ $quick -eq 1 ]; then
    linux_status=0
    ctest --output-on-failure -j2 -LE fuzz || linux_status=1
    exit $(( format_status | linux_status ))
fi
# The catalogue fuzzer first, on its own, so that its crash-free count is printed; the
# other tests run whatever it found, so one run shows every failure.
fuzz_status=0
if ctest -L fuzz -V > fuzz.log 2>&1; then
    grep -h -E "catalogue fuzz:|Not Run|Skipped" fuzz.log || true
else
    fuzz_status=1
    tail -n 70 fuzz.log
    echo "catalogue fuzzing failed (full log: $dir/fuzz.log)"
fi
linux_status=0
ctest --output-on-failure -j2 -LE fuzz || linux_status=1
cd ..

# The operators' path: a sample published by zorbel-publish, served by nginx with the
# repository's configuration, checked by curl and by the program itself under Xvfb.
nginx_status=0
scripts/nginx-check.sh "$dir" || nginx_status=1

# The same suites built for Windows with MinGW and run under Wine. The toolchain is built
# from Debian's sources the first time (about 20 minutes) and cached under /var/tmp.
windows_status=0
scripts/windows-toolchain.sh
cmake -S . -B build-windows-test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_TOOLCHAIN_FILE=cmake/windows-mingw.cmake >/dev/null
cmake --build build-windows-test
# One at a time: the suites share the Wine prefix's registry, where the settings live. A suite
# gets a second try: Wine now and then fails to start a program at all (exit within 10 ms, not a
# line printed), which says nothing about the suite; a real failure fails both tries.
(cd build-windows-test && ctest --output-on-failure -j1 --repeat until-pass:2 > ctest.log 2>&1) || windows_status=1
[ $windows_status -eq 0 ] || sed -n '/tests passed, /q;p' build-windows-test/ctest.log
# A suite's last try counts (a second try's line has no "N/M" before it).
grep -E '^ *([0-9]+/[0-9]+ )?Test +#[0-9]+: tst_' build-windows-test/ctest.log | awk '
    { match($0, /#[0-9]+/); last[substr($0, RSTART, RLENGTH)] = / Passed / }
    END { for (t in last) if (last[t]) passed++; else failed++
          printf "windows suites: %d passed, %d failed\n", passed, failed }'
sed -n '/tests passed, /,$p' build-windows-test/ctest.log

# The Windows release files (zip and installer), keyed and signed with throw-away credentials
# made here, so that the signed update and the Authenticode path are the ones driven end to
# end under Wine (Chinese locale, then the German one) against the demo server built above.
package_status=0
credentials=$PWD/build-windows-credentials
demo_server=$PWD/$dir/demo-server/zorbel-demo-server
verify_signed() {
    local file
    for file in "$@"; do
        osslsigncode verify -CAfile "$credentials/codesign.pem" -in "$file" >/dev/null 2>&1 \
            || { echo "not signed: $file"; return 1; }
        echo "signed and verified: $(basename "$file")"
    done
}
{ packaging/windows/test-credentials.sh "$credentials" "$demo_server" \
    && ZORBEL_UPDATE_PUBLIC_KEY=$(cat "$credentials/update.pub") ZORBEL_SERVER_HOST=localhost:8443 \
       ZORBEL_SIGN_PKCS12=$credentials/codesign.p12 ZORBEL_SIGN_PASSWORD_FILE=$credentials/codesign.pass \
       packaging/windows/build.sh \
    && verify_signed build-windows/stage/zorbel-skins-*/zorbel-skins.exe build-windows/zorbel-skins-*-setup.exe \
    && export ZORBEL_DEMO_SERVER=$demo_server ZORBEL_CHECK_UPDATE_KEY=$credentials/update.key \
       ZORBEL_CHECK_CODESIGN_CA=$credentials/codesign.pem \
    && packaging/windows/check.sh \
    && ZORBEL_CHECK_LOCALE=de_DE packaging/windows/check.sh; } \
    || package_status=1

exit $(( format_status | fuzz_status | linux_status | nginx_status | windows_status | package_status ))