#!/usr/bin/env bash
# Signs Windows programs, libraries and installer packages in place with osslsigncode, when a
# certificate is given in the environment; without one it does nothing, so every build may
# call it.
#
#   VORN_SIGN_CERT       the certificate (PEM or DER), or a .pfx / .p12 holding key and chain
#   VORN_SIGN_KEY        the private key (PEM or DER); not used with a .pfx
#   VORN_SIGN_PASSWORD   the password of the key or the .pfx, if it has one
#   VORN_SIGN_TIMESTAMP  optional: a time-stamping server's URL, so signatures outlive the
#                        certificate
#
#   sign-windows.sh FILE...
set -euo pipefail

cert=${VORN_SIGN_CERT:-}
key=${VORN_SIGN_KEY:-}
[[ -n $cert ]] || exit 0

if [[ ! -f $cert ]]; then
    echo "sign-windows.sh: VORN_SIGN_CERT: no such file: $cert" >&2
    exit 1
fi
case ${cert,,} in
    *.pfx | *.p12) credentials=(-pkcs12 "$cert") ;;
    *)
        if [[ -z $key || ! -f $key ]]; then
            echo "sign-windows.sh: VORN_SIGN_KEY must name the certificate's private key" >&2
            exit 1
        fi
        credentials=(-certs "$cert" -key "$key")
        ;;
esac

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The password goes through a file only this user can read, never on a command line that
# every user of the machine can see.
if [[ -n ${VORN_SIGN_PASSWORD:-} ]]; then
    (umask 077 && printf '%s' "$VORN_SIGN_PASSWORD" >"$scratch/password")
    credentials+=(-readpass "$scratch/password")
fi
if [[ -n ${VORN_SIGN_TIMESTAMP:-} ]]; then
    credentials+=(-ts "$VORN_SIGN_TIMESTAMP")
fi

for file in "$@"; do
    signed="$scratch/$(basename "$file")"
    if ! osslsigncode sign "${credentials[@]}" -h sha256 -n VornIdReader \
        -in "$file" -out "$signed" >"$scratch/log" 2>&1; then
        echo "sign-windows.sh: signing $file failed:" >&2
        cat "$scratch/log" >&2
        exit 1
    fi
    # Replacing the file keeps its name and permissions for everything that refers to it.
    cat "$signed" >"$file"
    echo "sign-windows.sh: signed $file"
done
