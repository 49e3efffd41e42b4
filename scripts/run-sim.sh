#!/usr/bin/env bash
# KORVANTE-sim.exe under Wine: the Windows program (tray icons, menu, settings dialog, report window)
# on the built-in simulated machine, or on the machine a description file defines. Needs a display.
#   bash scripts/run-sim.sh                        the built-in machine
#   bash scripts/run-sim.sh --machine=/path/m.txt  a machine description
# It stays resident like the real program: "Exit" in its tray menu ends it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh test >&2
if [ -z "${DISPLAY:-}" ]; then
  echo "run-sim: no X display; run it in a desktop session (or under xvfb-run to take screenshots)" >&2
  exit 1
fi

# The 32-bit program where this machine executes 32-bit code, otherwise the 64-bit build of it.
if wine --version >/dev/null 2>&1; then
  tree=build-win toolchain=cmake/mingw-i686.cmake
  export WINEARCH=win32
else
  tree=build-win64 toolchain=cmake/mingw-x86_64.cmake
  export WINEARCH=win64
fi
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
if [ ! -f "$tree/CMakeCache.txt" ]; then
  cmake -S . -B "$tree" "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DKORVANTE_WINEPREFIX="$root/$tree/wineprefix" >&2
fi
cmake --build "$tree" --parallel 2 --target KORVANTE-sim >&2
loader=$(sed -n 's/^WINE_EXECUTABLE:FILEPATH=//p' "$tree/CMakeCache.txt")

export WINEPREFIX="$root/$tree/wineprefix" WINEDEBUG=-all,err+module
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$loader" wineboot --init </dev/null >/dev/null 2>&1
  wineserver -w
fi
# Wine has no Courier New of its own; the report is laid out for a font of its widths.
"$loader" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Courier New" /d "Liberation Mono" /f >/dev/null 2>&1 || true
exec "$loader" "$tree/src/KORVANTE-sim.exe" "$@"
