#!/usr/bin/env bash
# Signs a Windows program in place with one of the test certificates, as a release is signed with the
# vendor's: Authenticode, SHA-256. Usage: sign.sh PROGRAM CERTDIR WHO (vendor or stranger)
set -euo pipefail
program=$1 dir=$2 who=$3
osslsigncode sign -certs "$dir/$who.pem" -key "$dir/$who.key" -h sha256 -n "KORVANTE" -in "$program" \
  -out "$program.signed" > /dev/null
mv "$program.signed" "$program"
