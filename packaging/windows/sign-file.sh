#!/usr/bin/env bash
# Signs one Windows file (PE) in place with Authenticode through osslsigncode; build.sh and
# makensis (for the uninstaller and the setup) call it. The certificate comes from either
#   ZORBEL_SIGN_PKCS12=<file.p12>  ZORBEL_SIGN_PASSWORD_FILE=<file holding its password>
# or, for a key on a hardware token or in a cloud key service,
#   ZORBEL_SIGN_PKCS11_MODULE=<module.so>  ZORBEL_SIGN_PKCS11_KEY=<pkcs11: URI of the key>
#   ZORBEL_SIGN_CERTS=<PEM file of the certificate and its chain>
# ZORBEL_SIGN_TIMESTAMP_URL, when set, adds an RFC 3161 time stamp.
set -euo pipefail
file=$1
signed=$file.signing
common=(-h sha256 -n "Zorbel-DreadHunger-MOD" ${ZORBEL_SIGN_TIMESTAMP_URL:+-ts "$ZORBEL_SIGN_TIMESTAMP_URL"})
rm -f "$signed"
if [ -n "${ZORBEL_SIGN_PKCS12:-}" ]; then
    osslsigncode sign -pkcs12 "$ZORBEL_SIGN_PKCS12" -readpass "${ZORBEL_SIGN_PASSWORD_FILE:?needs ZORBEL_SIGN_PASSWORD_FILE}" \
        "${common[@]}" -in "$file" -out "$signed" >/dev/null
elif [ -n "${ZORBEL_SIGN_PKCS11_MODULE:-}" ]; then
    osslsigncode sign -pkcs11module "$ZORBEL_SIGN_PKCS11_MODULE" -key "${ZORBEL_SIGN_PKCS11_KEY:?needs ZORBEL_SIGN_PKCS11_KEY}" \
        -certs "${ZORBEL_SIGN_CERTS:?needs ZORBEL_SIGN_CERTS}" "${common[@]}" -in "$file" -out "$signed" >/dev/null
else
    echo "sign-file.sh: no certificate (ZORBEL_SIGN_PKCS12 or ZORBEL_SIGN_PKCS11_MODULE)" >&2
    exit 1
fi
mv -f "$signed" "$file"
