#!/usr/bin/env bash
# Builds the Windows (x86_64-w64-mingw32) libraries the program links against, from Debian's own
# source packages: qtbase 5.15, libcurl with Schannel and libsodium, and for the test suites
# in-process HTTPS server OpenSSL (static) and cpp-httplib's header. They land in a cache folder
# ($ZORBEL_WINCROSS, default /var/tmp/zorbel-wincross) that cmake/windows-mingw.cmake points at.
#
# Each stage records what it built in a stamp (source version + options); a stage whose stamp
# matches is skipped, so a second run with nothing changed returns at once.
set -euo pipefail

cache=${ZORBEL_WINCROSS:-/var/tmp/zorbel-wincross}
host=x86_64-w64-mingw32
jobs=$(nproc)
mkdir -p "$cache/src"

say() { printf '[windows-toolchain] %s\n' "$*"; }
started() { stage_start=$(date +%s); say "$1 …"; }
finished() { say "$1 done in $(( $(date +%s) - stage_start )) s"; }

qt_options=(-platform linux-g++ -xplatform win32-g++ -device-option CROSS_COMPILE=$host-
    -release -shared -opensource -confirm-license -nomake examples -nomake tests
    -no-opengl -no-dbus -no-icu -no-vulkan -no-direct2d -schannel -no-openssl
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-harfbuzz -qt-freetype
    -no-feature-sql -no-feature-printer -no-feature-tabletevent)
curl_options=(--host=$host --with-schannel --without-openssl --without-gnutls --without-libpsl
    --disable-ldap --disable-ldaps --without-zlib --without-brotli --without-zstd --without-libidn2
    --without-nghttp2 --without-libssh2 --disable-manual --enable-shared --disable-static)
sodium_options=(--host=$host --enable-shared --disable-static)
openssl_options=(mingw64 --cross-compile-prefix=$host- no-shared no-tests no-engine no-legacy)

# The source versions this Debian release carries; they are part of every stamp.
source_version() { apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ { print $2; exit }'; }

stamp_of() { printf '%s\n' "$@" | sha256sum | cut -c1-16; }
is_current() { [ -f "$cache/$1.stamp" ] && [ "$(cat "$cache/$1.stamp")" = "$2" ]; }

stamps() {
    qt_stamp=$(stamp_of qtbase "$(source_version qtbase-opensource-src)" "${qt_options[@]}")
    curl_stamp=$(stamp_of curl "$(source_version curl)" "${curl_options[@]}")
    sodium_stamp=$(stamp_of libsodium "$(source_version libsodium)" "${sodium_options[@]}")
    openssl_stamp=$(stamp_of openssl "$(source_version openssl)" "${openssl_options[@]}")
    httplib_stamp=$(stamp_of cpp-httplib "$(source_version cpp-httplib)")
}

# Fast path: every stage current, nothing to install.
stamps
if is_current qt "$qt_stamp" && is_current curl "$curl_stamp" && is_current sodium "$sodium_stamp" \
    && is_current openssl "$openssl_stamp" && is_current httplib "$httplib_stamp" \
    && command -v $host-g++-posix >/dev/null; then
    say "up to date in $cache"
    exit 0
fi

started "build tools and source entries"
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    cat > /etc/apt/sources.list.d/zorbel-deb-src.sources <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    fresh_sources=1
fi
tools=(g++-mingw-w64-x86-64-posix build-essential dpkg-dev perl python3 autoconf automake libtool
       make patch pkg-config)
missing=()
for package in "${tools[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ] || [ -n "${fresh_sources:-}" ] || [ -z "$(source_version curl)" ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    [ ${#missing[@]} -gt 0 ] && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
finished "build tools and source entries"
stamps

# fetch PACKAGE: unpacks Debian's source of PACKAGE (patches applied) and prints its folder.
fetch() {
    local version dir
    version=$(source_version "$1")
    dir=$(find "$cache/src" -maxdepth 1 -type d -name "$2-*" | head -n1)
    if [ -z "$dir" ]; then
        (cd "$cache/src" && apt-get source -qq "$1=$version" >/dev/null 2>&1)
        dir=$(find "$cache/src" -maxdepth 1 -type d -name "$2-*" | head -n1)
    fi
    printf '%s\n' "$dir"
}

# autotools_install STAGE SRC OPTIONS...: configure (generated first when the source has
# none), make and install SRC into $cache/STAGE, building in a scratch folder.
autotools_install() {
    local stage=$1 src=$2
    shift 2
    rm -rf "$cache/$stage" "$cache/build-$stage"
    mkdir -p "$cache/build-$stage"
    [ -x "$src/configure" ] || (cd "$src" && autoreconf -fi > "$cache/build-$stage/autoreconf.log" 2>&1)
    (cd "$cache/build-$stage" && "$src/configure" --prefix="$cache/$stage" "$@" > configure.log 2>&1 \
        && make -j"$jobs" > build.log 2>&1 && make install > install.log 2>&1) \
        || { tail -n 40 "$cache/build-$stage"/*.log; exit 1; }
    rm -rf "$cache/build-$stage"
}

# qtbase: Core, Gui, Widgets, Network (Schannel), Test and the Windows/offscreen/minimal platforms.
if ! is_current qt "$qt_stamp"; then
    started "qtbase $(source_version qtbase-opensource-src)"
    src=$(fetch qtbase-opensource-src qtbase-opensource-src)
    # MinGW's import libraries are lower case; Qt names these two in mixed case.
    sed -i 's/-lSecur32/-lsecur32/; s/-lCrypt32/-lcrypt32/' "$src/src/network/ssl/ssl.pri"
    rm -rf "$cache/qt" "$cache/build-qt"
    mkdir -p "$cache/build-qt"
    (cd "$cache/build-qt" && "$src/configure" -prefix "$cache/qt" "${qt_options[@]}" > configure.log 2>&1) \
        || { tail -n 40 "$cache/build-qt/configure.log"; exit 1; }
    (cd "$cache/build-qt" && make -j"$jobs" > build.log 2>&1 && make install > install.log 2>&1) \
        || { tail -n 40 "$cache/build-qt/build.log"; exit 1; }
    rm -rf "$cache/build-qt"
    echo "$qt_stamp" > "$cache/qt.stamp"
    finished "qtbase"
fi

# libcurl with Schannel. Debian's last two patches rename the library for its gnutls/nss
# variants; the Windows build wants the plain one.
if ! is_current curl "$curl_stamp"; then
    started "curl $(source_version curl)"
    src=$(fetch curl curl)
    for patch in 99_nss.patch 90_gnutls.patch; do
        if patch -p1 -R --dry-run -s -d "$src" < "$src/debian/patches/$patch" >/dev/null 2>&1; then
            patch -p1 -R -s -d "$src" < "$src/debian/patches/$patch"
        fi
    done
    # The patches touch the build files: the configure script is made anew.
    rm -f "$src/configure"
    autotools_install curl "$src" "${curl_options[@]}"
    echo "$curl_stamp" > "$cache/curl.stamp"
    finished "curl"
fi

# libsodium, for the update signature check.
if ! is_current sodium "$sodium_stamp"; then
    started "libsodium $(source_version libsodium)"
    src=$(fetch libsodium libsodium)
    autotools_install sodium "$src" "${sodium_options[@]}"  # Debian's source has no configure script
    echo "$sodium_stamp" > "$cache/sodium.stamp"
    finished "libsodium"
fi

# OpenSSL, linked statically into the test suites only (their HTTPS test server).
if ! is_current openssl "$openssl_stamp"; then
    started "openssl $(source_version openssl)"
    src=$(fetch openssl openssl)
    rm -rf "$cache/openssl" "$cache/build-openssl"
    mkdir -p "$cache/build-openssl"
    (cd "$cache/build-openssl" && "$src/Configure" "${openssl_options[@]}" --prefix="$cache/openssl" --libdir=lib \
        > configure.log 2>&1 && make -j"$jobs" build_libs > build.log 2>&1 && make install_dev > install.log 2>&1) \
        || { tail -n 40 "$cache/build-openssl"/*.log; exit 1; }
    rm -rf "$cache/build-openssl"
    echo "$openssl_stamp" > "$cache/openssl.stamp"
    finished "openssl"
fi

# cpp-httplib: Debian installs a split header with a compiled library; the Windows test
# suites use the upstream single header from the same source package.
if ! is_current httplib "$httplib_stamp"; then
    started "cpp-httplib $(source_version cpp-httplib)"
    src=$(fetch cpp-httplib cpp-httplib)
    mkdir -p "$cache/httplib/include"
    cp "$src/httplib.h" "$cache/httplib/include/httplib.h"
    echo "$httplib_stamp" > "$cache/httplib.stamp"
    finished "cpp-httplib"
fi

say "ready in $cache (qt, curl, sodium, openssl, httplib)"
