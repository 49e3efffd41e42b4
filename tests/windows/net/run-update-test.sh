#!/usr/bin/env bash
# Runs the Windows update and publishing tests against the loopback vendor site: starts update-site.py
# serving the stub program and its signed copies, passes its address to the test in KORVANTE_TEST_SITE,
# the file where it keeps the last uploaded body in KORVANTE_TEST_POSTED and the test root's
# certificate in KORVANTE_TEST_ROOT, stops the site afterwards.
# Usage: run-update-test.sh STUB ROOTCERTIFICATE EMULATOR TEST
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
stub=$1 root=$2; shift 2
portfile=$(mktemp)
posted=$(mktemp)
python3 "$here/update-site.py" "$stub" "$portfile" "$posted" &
site=$!
trap 'kill $site 2>/dev/null; rm -f "$portfile" "$posted"' EXIT
for _ in $(seq 50); do [ -s "$portfile" ] && break; sleep 0.1; done
[ -s "$portfile" ] || { echo "the site did not start"; exit 1; }
KORVANTE_TEST_SITE="http://127.0.0.1:$(cat "$portfile")/" KORVANTE_TEST_POSTED="$posted" \
  KORVANTE_TEST_ROOT="$root" "$@"
