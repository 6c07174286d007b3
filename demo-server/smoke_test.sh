#!/usr/bin/env bash
# Starts the built server on a free port with a fresh data folder and talks to it over
# TLS with curl, trusting only the certificate the server made for itself.
set -euo pipefail
server_program=$1

work=$(mktemp -d)
server=
cleanup() {
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; echo "--- server log:" >&2; cat "$work/log" >&2; exit 1; }

"$server_program" --port 0 --data "$work/data" 2>"$work/log" &
server=$!
for _ in $(seq 1 300); do
    grep -q '^serving ' "$work/log" && break
    kill -0 "$server" 2>/dev/null || fail "server ended early"
    sleep 0.1
done
origin=$(sed -n 's|^serving \(https://[^/]*\)/.*|\1|p' "$work/log")
[ -n "$origin" ] || fail "server did not start"

fetch() { curl -sS --cacert "$work/data/cert.pem" "$@"; }
base="$origin/2/%E7%9A%AE%E8%82%A4.php"

[ "$(fetch "$base?name=Orvel")" = "$origin/2/皮肤.php" ] || fail "discovery answer"

fetch -D "$work/headers" -o "$work/catalog.json" "$base/index_skins.php"
grep -qi '^content-type: application/json' "$work/headers" || fail "catalogue content type"
cmp -s "$work/catalog.json" "$work/data/catalog.json" || fail "catalogue body"

skin="$base/subcutaneous/index_skin_download.php?MainCategory=%E5%AE%9E%E9%AA%8C%E5%8C%BA&subcategory=%E6%B5%8B%E8%AF%95"
file="$work/data/skins/实验区/测试/zorbel_042.pak"
length=$(fetch -I "$skin&pak_original=zorbel_042.pak" | tr -d '\r' | sed -n 's/^Content-Length: //Ip')
[ "$length" = "$(stat -c %s "$file")" ] || fail "HEAD length $length"
fetch -o "$work/skin.pak" "$skin&pak_original=zorbel_042.pak"
cmp -s "$work/skin.pak" "$file" || fail "skin body"

status=$(fetch -o /dev/null -w '%{http_code}' "$skin&pak_original=..%2F..%2F..%2Fcatalog.json")
[ "$status" = 404 ] || fail "climbing query answered $status"

grep -q 'HEAD /2/皮肤.php/subcutaneous/index_skin_download.php?.*-> 200' "$work/log" || fail "request log"

# A signed program file: the record carries its SHA-256 and a plain Ed25519 signature of the
# statement that binds version, file name and digest, which openssl verifies with the printed key.
public_key=$("$server_program" --make-keys "$work/update.key" 2>/dev/null) || fail "--make-keys"
"$server_program" --make-keys "$work/update.key" 2>/dev/null && fail "--make-keys overwrote its key"
program="$work/data/files/zorbel-skins-update.exe"
mkdir -p "$work/data/files"
head -c 300000 /dev/urandom > "$program"
"$server_program" --sign "$program" --key "$work/update.key" >/dev/null 2>&1 && fail "--sign without a version"
"$server_program" --sign "$program" --key "$work/update.key" --version-record 1.2 >/dev/null 2>&1 || fail "--sign"
record=$(fetch "$origin/api1/")
sha256=$(sha256sum "$program" | cut -c1-64)
grep -q "\"RIzured校验\": \"$sha256\"" <<<"$record" || fail "checksum in $record"
sed -n 's/.*"RIzured签名": "\([^"]*\)".*/\1/p' <<<"$record" | base64 -d > "$work/signature"
{ echo "-----BEGIN PUBLIC KEY-----"
  { printf '\x30\x2a\x30\x05\x06\x03\x2b\x65\x70\x03\x21\x00'; base64 -d <<<"$public_key"; } | base64
  echo "-----END PUBLIC KEY-----"; } > "$work/public.pem"
printf 'zorbel-skins update\nversion=1.2\nfile=zorbel-skins-update.exe\nsha256=%s\n' "$sha256" > "$work/statement"
openssl pkeyutl -verify -pubin -inkey "$work/public.pem" -rawin -in "$work/statement" -sigfile "$work/signature" \
    >/dev/null || fail "signature does not verify"
echo "demo server smoke test passed"
