#!/usr/bin/env bash
# Installs the .deb on a freshly made minimal Debian 12 root and starts the program there
# against a catalogue server on this machine's loopback, to prove that the package names
# every library it needs and that the installed program works.
#
#   sudo ZORBEL_SERVER=127.0.0.1:18443 ZORBEL_CA_FILE=/path/cert.pem \
#       packaging/check-fresh-debian.sh build-release/zorbel-skins_1.1_amd64.deb
#
# The bootstrapped base system is kept as a tarball under /var/tmp (ZORBEL_CHECK_CACHE)
# and unpacked anew each run, so every run installs the package on an untouched system;
# downloaded .debs are kept too. Delete the cache folder to bootstrap again.
# Optional: ZORBEL_CHECK_MIRROR (default: the host's Debian mirror), ZORBEL_CHECK_TIMEOUT
# (seconds to wait for the program, default 60).
set -euo pipefail

SUITE=bookworm
EXPECTED='[INFO] main: 当前已是最新版本'
cache=${ZORBEL_CHECK_CACHE:-/var/tmp/zorbel-fresh-debian}
timeout=${ZORBEL_CHECK_TIMEOUT:-60}
base_tar=$cache/base-$SUITE.tar
root=$cache/root
logs=$cache/logs

fail() { echo "FAIL: check-fresh-debian: $*"; exit 1; }
note() { echo "== $*"; }
since() { echo $(( $(date +%s) - $1 ))s; }

[ $# -eq 1 ] || { echo "usage: ZORBEL_SERVER=host:port ZORBEL_CA_FILE=cert.pem $0 zorbel-skins_VERSION_ARCH.deb" >&2; exit 2; }
deb=$(realpath -e "$1" 2>/dev/null) || fail "no such package: $1"
case $(basename "$deb") in zorbel-skins_*.deb) ;; *) fail "not a zorbel-skins .deb: $deb" ;; esac
[ -n "${ZORBEL_SERVER:-}" ] || fail "ZORBEL_SERVER (host:port of the catalogue server) is not set"
[ -n "${ZORBEL_CA_FILE:-}" ] && [ -r "$ZORBEL_CA_FILE" ] || fail "ZORBEL_CA_FILE does not name a readable PEM file"
[ "$(id -u)" -eq 0 ] || fail "must run as root (debootstrap, chroot and mounts)"

export DEBIAN_FRONTEND=noninteractive
if ! command -v debootstrap >/dev/null; then
    note "installing debootstrap"
    apt-get update -qq && apt-get install -y -qq debootstrap >/dev/null || fail "could not install debootstrap"
fi

# The host's own Debian mirror, from one-line (sources.list) or deb822 (*.sources) entries.
host_uri_for() {
    local suite=$1 file
    {
        for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            [ -r "$file" ] || continue
            awk -v s="$suite" '$1 == "deb" { line = $0; sub(/\[[^]]*\]/, "", line); split(line, f, " ")
                                             if (f[3] == s) { print f[2]; exit } }' "$file"
        done
        for file in /etc/apt/sources.list.d/*.sources; do
            [ -r "$file" ] || continue
            awk -v s="$suite" '
                function flush() {
                    if (types ~ /(^| )deb( |$)/ && (suites " ") ~ (" " s " ") && uris != "") {
                        split(uris, u, " "); print u[1]; found = 1
                    }
                    types = suites = uris = ""
                }
                /^[[:space:]]*#/ { next }
                /^[[:space:]]*$/ { flush(); if (found) exit; next }
                tolower($1) == "types:"  { $1 = ""; types = $0 }
                tolower($1) == "suites:" { $1 = ""; suites = $0 }
                tolower($1) == "uris:"   { $1 = ""; uris = $0 }
                END { if (!found) flush() }' "$file"
        done
    } | head -n 1
}
mirror=${ZORBEL_CHECK_MIRROR:-$(host_uri_for "$SUITE")}
[ -n "$mirror" ] || fail "found no '$SUITE' entry in the host's apt sources; set ZORBEL_CHECK_MIRROR"

# Everything mounted under a root, deepest first.
mounts_under() { awk -v r="$1" '$2 == r || index($2, r "/") == 1 { print $2 }' /proc/mounts | sort -r; }
unmount_all() {
    local target
    for target in $(mounts_under "$1"); do
        umount "$target" 2>/dev/null || umount -l "$target" || echo "warning: could not unmount $target" >&2
    done
}
# Never delete a tree that still has anything mounted in it (a bound folder would go too).
remove_tree() {
    [ -e "$1" ] || return 0
    unmount_all "$1"
    [ -z "$(mounts_under "$1")" ] || fail "$1 still has mounts; not removing it"
    rm -rf --one-file-system "$1"
}

program=
active_root=
# Asks the program to quit, and kills it if it is still there after 10 s.
stop_program() {
    [ -n "$program" ] || return 0
    kill "$program" 2>/dev/null || true
    for _ in $(seq 1 20); do
        kill -0 "$program" 2>/dev/null || break
        sleep 0.5
    done
    kill -KILL "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    program=
}
cleanup() {
    stop_program
    [ -z "$active_root" ] || unmount_all "$active_root"
}
trap cleanup EXIT
trap 'echo "FAIL: check-fresh-debian: interrupted"; exit 130' INT TERM

# Mounts what apt and Qt need inside the root; cleanup() takes them down again.
enter() {
    active_root=$1
    mount -t proc proc "$1/proc"
    mount -t sysfs sysfs "$1/sys"
    mount -t devpts -o newinstance,ptmxmode=0666 devpts "$1/dev/pts"  # apt's terminal log
    cp /etc/resolv.conf "$1/etc/resolv.conf"
}
leave() { unmount_all "$1"; active_root=; }

write_sources() {
    local security
    security=$(host_uri_for "$SUITE-security")
    {
        echo "deb $mirror $SUITE main"
        echo "deb $mirror $SUITE-updates main"
        [ -z "$security" ] || echo "deb $security $SUITE-security main"
    } >"$1/etc/apt/sources.list"
}

mkdir -p "$cache" "$logs"

# The pristine base system, made once per mirror.
if [ ! -f "$base_tar" ] || [ "$(cat "$cache/mirror" 2>/dev/null)" != "$mirror" ]; then
    staging=$cache/staging
    remove_tree "$staging"
    note "debootstrap --variant=minbase $SUITE from $mirror"
    started=$(date +%s)
    debootstrap --variant=minbase "$SUITE" "$staging" "$mirror" >"$logs/debootstrap.log" 2>&1 \
        || { tail -n 20 "$logs/debootstrap.log"; fail "debootstrap failed (log: $logs/debootstrap.log)"; }
    note "debootstrap took $(since "$started")"
    write_sources "$staging"
    # Keep a chroot's package scripts from starting services.
    printf '#!/bin/sh\nexit 101\n' >"$staging/usr/sbin/policy-rc.d"
    chmod 755 "$staging/usr/sbin/policy-rc.d"
    enter "$staging"
    chroot "$staging" apt-get update -qq >>"$logs/debootstrap.log" 2>&1 || fail "apt-get update in the new root failed"
    chroot "$staging" apt-get clean
    leave "$staging"
    tar -C "$staging" --one-file-system -cf "$base_tar.new" . && mv "$base_tar.new" "$base_tar"
    echo "$mirror" >"$cache/mirror"
    remove_tree "$staging"
fi

note "unpacking a fresh root from $base_tar"
started=$(date +%s)
remove_tree "$root"
mkdir -p "$root"
tar -C "$root" -xf "$base_tar"
note "unpacking took $(since "$started")"

debname=$(basename "$deb")
cp "$deb" "$root/tmp/$debname"
cp "$ZORBEL_CA_FILE" "$root/root/zorbel-ca.pem"
enter "$root"
# Downloaded packages outlive the root, so a second run downloads nothing.
mkdir -p "$cache/archives/partial"
mount --bind "$cache/archives" "$root/var/cache/apt/archives"

note "apt-get install -y ./$debname"
started=$(date +%s)
chroot "$root" apt-get update -qq >"$logs/apt.log" 2>&1 || { tail -n 20 "$logs/apt.log"; fail "apt-get update failed"; }
chroot "$root" sh -c "cd /tmp && apt-get install -y ./$debname" >>"$logs/apt.log" 2>&1 \
    || { tail -n 30 "$logs/apt.log"; fail "apt-get install ./$debname failed (log: $logs/apt.log)"; }
note "install took $(since "$started")"
grep -E '^[0-9]+ upgraded, [0-9]+ newly installed' "$logs/apt.log" || true
newly=$(sed -n 's/^[0-9]* upgraded, \([0-9]*\) newly installed.*/\1/p' "$logs/apt.log" | tail -n 1)
[ -z "$newly" ] || echo "packages pulled in besides zorbel-skins: $((newly - 1))"

where=$(chroot "$root" sh -c 'command -v zorbel-skins') || fail "zorbel-skins is not on PATH after install"
echo "command -v zorbel-skins: $where"

note "starting zorbel-skins (offscreen) against $ZORBEL_SERVER"
chroot "$root" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    QT_QPA_PLATFORM=offscreen ZORBEL_SERVER="$ZORBEL_SERVER" ZORBEL_CA_FILE=/root/zorbel-ca.pem \
    zorbel-skins >"$logs/program.out" 2>"$logs/program.err" &
program=$!
started=$(date +%s)
result=
while [ $(( $(date +%s) - started )) -lt "$timeout" ]; do
    if grep -qF "$EXPECTED" "$logs/program.err"; then result=pass; break; fi
    if ! kill -0 "$program" 2>/dev/null; then result=exited; break; fi
    sleep 0.5
done
grep -qF "$EXPECTED" "$logs/program.err" && result=pass  # the line may come with the exit

if [ "$result" = pass ]; then
    elapsed=$(since "$started")
    stop_program
    echo "PASS: check-fresh-debian: $debname installs on a fresh Debian 12 and zorbel-skins logged '$EXPECTED' after $elapsed"
    exit 0
fi
echo "--- program stderr ($logs/program.err):"
tail -n 40 "$logs/program.err"
if [ "$result" = exited ]; then
    wait "$program" && status=0 || status=$?
    program=
    fail "zorbel-skins exited with status $status before logging '$EXPECTED'"
fi
fail "zorbel-skins did not log '$EXPECTED' within ${timeout}s"
