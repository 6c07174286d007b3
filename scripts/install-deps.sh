#!/usr/bin/env bash
# Installs the Debian 12 packages that are missing for the given purpose ("run", "package" or "test").
set -euo pipefail

build=(build-essential cmake ninja-build pkg-config qtbase5-dev libcurl4-openssl-dev
       libcpp-httplib-dev libssl-dev libsodium-dev openssl ccache)
run=(xvfb xauth fonts-wqy-microhei fonts-symbola)
package=(g++-mingw-w64-x86-64-posix nsis zip osslsigncode)
test=(xvfb xauth xdotool fonts-wqy-microhei fonts-symbola g++-mingw-w64-x86-64-posix wine64 clang clang-format libclang-rt-14-dev
      locales "${package[@]}" imagemagick nginx-light libnginx-mod-http-js)

wanted=("${build[@]}")
case "${1:-}" in
    run) wanted+=("${run[@]}") ;;
    package) wanted+=("${package[@]}") ;;
    test) wanted+=("${test[@]}") ;;
esac

# The Windows suites run partly in a Chinese locale (code page 936 under Wine) and partly in a
# German one (ANSI 1252 beside OEM 850), where the update script's paths must still read back.
ensure_test_locales() {
    local wanted_locale generate=0
    for wanted_locale in zh_CN de_DE; do
        locale -a 2>/dev/null | grep -qi "^$wanted_locale.utf8$" && continue
        sed -i "s/^# *$wanted_locale.UTF-8 UTF-8/$wanted_locale.UTF-8 UTF-8/" /etc/locale.gen
        grep -q "^$wanted_locale.UTF-8 UTF-8" /etc/locale.gen || echo "$wanted_locale.UTF-8 UTF-8" >> /etc/locale.gen
        generate=1
    done
    [ $generate -eq 0 ] || locale-gen >/dev/null
}

missing=()
for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    [ "${1:-}" = test ] && ensure_test_locales
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]} (run as root or install them with apt-get)" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
[ "${1:-}" = test ] && ensure_test_locales
exit 0
