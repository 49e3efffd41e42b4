#!/usr/bin/env bash
# Installs everything the builds and tests need on Debian 12: the native compiler, GoogleTest and
# Google Benchmark, clang for the fuzz target, the mingw-w64 cross compiler, and Wine (32-bit) with
# Xvfb for the Windows tests. Does nothing when everything is already installed.
set -euo pipefail

packages=(cmake g++ ninja-build libgtest-dev googletest libbenchmark-dev clang libclang-rt-14-dev
          g++-mingw-w64-i686 wine wine32:i386 xvfb xauth)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

installed() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
# wine32 is an i386 package; a fresh machine lacks the architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
# A mirror that hiccups gets two more tries.
retry() {
  local n
  for n in 1 2 3; do
    "$@" && return 0
    echo "setup: '$*' failed (attempt $n)" >&2
    sleep 5
  done
  return 1
}
retry as_root apt-get update
retry as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "${packages[@]}" </dev/null
