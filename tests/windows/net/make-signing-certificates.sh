#!/usr/bin/env bash
# Makes the certificates the Windows update tests sign their programs with, in DIR: a test root
# (root.cer, DER, which the tests install into the Wine prefix's trusted roots) and two code-signing
# certificates it issued, the vendor's (vendor.pem, vendor.key) and a stranger's (stranger.pem,
# stranger.key). Usage: make-signing-certificates.sh DIR
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 3650 -subj "/CN=KORVANTE Test Root" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl x509 -in root.pem -outform DER -out root.cer
for who in vendor stranger; do
  subject="/C=DE/O=KORVANTE Test/CN=KORVANTE Test Vendor"
  [ "$who" = stranger ] && subject="/C=DE/O=Someone Else/CN=Someone Else"
  openssl req -newkey rsa:2048 -nodes -keyout "$who.key" -out "$who.csr" -subj "$subject" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > "$who.ext"
  openssl x509 -req -in "$who.csr" -CA root.pem -CAkey root.key -CAcreateserial -days 3650 -extfile "$who.ext" \
    -out "$who.pem" 2>/dev/null
  rm -f "$who.csr" "$who.ext"
done
