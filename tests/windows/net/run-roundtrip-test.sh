#!/usr/bin/env bash
# Runs the Windows publishing round trip against the native drive database server: starts it on a free
# loopback port with a fresh database, runs the test (which names the block it sent and its records'
# dump), stops the server, then holds the server's export of upload 1 against the block byte for byte
# and the drives it decoded against the client's records field by field. The server is always stopped.
# Without the native server program (KORVANTE_SERVER_PROGRAM) the test is skipped with status 77.
# Usage: run-roundtrip-test.sh SERVER EMULATOR TEST
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
server=$1; shift
if [ -z "$server" ] || [ ! -x "$server" ]; then
  echo "skipped: no native korvante-server (KORVANTE_SERVER_PROGRAM='$server')"
  exit 77
fi
work=$(mktemp -d)
pid=""
stop_server() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; pid=""; fi
}
trap 'stop_server; rm -rf "$work"' EXIT

# A port free a moment ago may be taken before the server binds it: a few attempts.
for _ in 1 2 3 4 5; do
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  # Bounded below ctest's limit: a script killed on time-out cannot stop it through its trap.
  timeout 290 "$server" --port "$port" --database "$work/drives.db" >"$work/server.log" 2>&1 &
  pid=$!
  for _ in $(seq 50); do
    grep -q "^korvante-server on" "$work/server.log" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q "^korvante-server on" "$work/server.log" && break
  stop_server
done
if [ -z "$pid" ]; then echo "the server did not start:"; cat "$work/server.log"; exit 1; fi

KORVANTE_TEST_SERVER="http://127.0.0.1:$port" KORVANTE_TEST_SENT="$work/sent.bin" KORVANTE_TEST_DUMP="$work/client.dump" "$@"
rc=$?
stop_server
echo "--- the server's output"; cat "$work/server.log"
# What the server stored is compared even after the test failed: it tells which side went wrong.
[ -s "$work/sent.bin" ] && [ -s "$work/client.dump" ] || { echo "the test left no block or no dump"; exit 1; }
if ! "$server" --export-block 1 --database "$work/drives.db" --out "$work/exported.bin"; then
  rc=1
elif ! cmp "$work/sent.bin" "$work/exported.bin"; then
  echo "the stored block differs from the block sent"; rc=1
else
  echo "the stored block equals the block sent ($(stat -c %s "$work/sent.bin") bytes)"
fi
python3 "$here/compare-drives.py" "$work/drives.db" "$work/client.dump" || rc=1
exit "$rc"
