#!/usr/bin/env bash
# Throw-away credentials for test builds, made anew in the folder $1 (nothing of them is
# kept or trusted anywhere else):
#   update.key, update.pub    an update signing key pair (zorbel-demo-server --make-keys, $2)
#   codesign.p12, codesign.pass, codesign.pem
#                             a self-signed code-signing certificate, its password and its PEM
set -euo pipefail
dir=$1
server_bin=$2
rm -rf "$dir"
mkdir -p "$dir"
chmod 700 "$dir"
"$server_bin" --make-keys "$dir/update.key" >"$dir/update.pub" 2>/dev/null
openssl rand -hex 16 >"$dir/codesign.pass"
openssl req -x509 -newkey rsa:3072 -nodes -days 2 -subj "/CN=Zorbel test code signing" \
    -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
    -keyout "$dir/codesign.key" -out "$dir/codesign.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$dir/codesign.key" -in "$dir/codesign.pem" -out "$dir/codesign.p12" \
    -passout "file:$dir/codesign.pass"
rm -f "$dir/codesign.key"
