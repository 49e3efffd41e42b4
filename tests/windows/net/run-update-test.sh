#!/usr/bin/env bash
# Runs the Windows update test against the loopback vendor site: starts update-site.py serving the
# stub program, passes its address to the test in KORVANTE_TEST_SITE, stops the site afterwards.
# Usage: run-update-test.sh STUB EMULATOR TEST
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
stub=$1; shift
portfile=$(mktemp)
python3 "$here/update-site.py" "$stub" "$portfile" &
site=$!
trap 'kill $site 2>/dev/null; rm -f "$portfile"' EXIT
for _ in $(seq 50); do [ -s "$portfile" ] && break; sleep 0.1; done
[ -s "$portfile" ] || { echo "the site did not start"; exit 1; }
KORVANTE_TEST_SITE="http://127.0.0.1:$(cat "$portfile")/" "$@"
