#!/usr/bin/env bash
# Installs what a job needs on Debian 12, and nothing more:
#   bash scripts/setup.sh           the native build: compiler, CMake, Ninja, GoogleTest, Google Benchmark,
#                                   the JSON library the tests read the peer decodes with
#   bash scripts/setup.sh windows   ... and the mingw-w64 cross compiler, Python 3 (it draws the icon), and
#                                   OpenSSL with osslsigncode (the update tests sign their programs)
#   bash scripts/setup.sh test      ... and clang for the fuzz targets, Wine (32-bit), Xvfb with xwd and
#                                   ImageMagick for the GUI tests' screenshots; the
#                                   64-bit cross compiler and 64-bit Wine, for a machine that cannot
#                                   execute 32-bit programs
# Does nothing when everything asked for is already installed. A package index that fails to
# download (a mirror in the middle of a sync) does not stop it: the install is tried all the same,
# then with the main suites alone, and only a failed install stops it, with a message saying so.
set -euo pipefail

native=(cmake g++ ninja-build libgtest-dev googletest libbenchmark-dev libcpp-httplib-dev libsqlite3-dev
        nlohmann-json3-dev)
windows=(g++-mingw-w64-i686 python3 openssl osslsigncode)
testing=(clang libclang-rt-14-dev wine wine32:i386 xvfb xauth x11-apps imagemagick g++-mingw-w64-x86-64 wine64
         fonts-liberation)

case "${1:-native}" in
  native) packages=("${native[@]}") ;;
  windows) packages=("${native[@]}" "${windows[@]}") ;;
  test) packages=("${native[@]}" "${windows[@]}" "${testing[@]}") ;;
  *) echo "setup: unknown set '$1' (native, windows or test)" >&2; exit 2 ;;
esac

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
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi

install_missing() {  # [apt-get options...]
  as_root env DEBIAN_FRONTEND=noninteractive apt-get "$@" install -y "${missing[@]}" </dev/null
}

# The first stanza of the machine's deb822 sources (the main suites without the security suite), in a
# folder of its own, for an install that must not depend on an index caught mid-sync.
main_suites_only() {
  local sources=/etc/apt/sources.list.d/debian.sources dir
  [ -f "$sources" ] || return 1
  dir=$(mktemp -d)
  awk 'BEGIN { RS = ""; ORS = "\n\n" } NR == 1 { print }' "$sources" > "$dir/main.sources"
  echo "$dir"
}

if ! as_root apt-get update; then
  echo "setup: a package index failed to download; trying the install with the indexes there are" >&2
fi
if install_missing; then exit 0; fi

echo "setup: the install failed; trying again with the main suites only" >&2
if dir=$(main_suites_only); then
  as_root apt-get -o Dir::Etc::sourcelist=/dev/null -o Dir::Etc::sourceparts="$dir" update || true
  if install_missing -o Dir::Etc::sourcelist=/dev/null -o Dir::Etc::sourceparts="$dir"; then exit 0; fi
fi
echo "setup: could not install ${missing[*]} (see apt-get's messages above)" >&2
exit 1
