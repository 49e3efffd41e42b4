#!/usr/bin/env bash
# The main job: builds the native tree and runs the headless program on the simulated machine.
#   bash scripts/run.sh                      the report of the built-in machine
#   bash scripts/run.sh path/to/machine.txt  of a machine description
#   bash scripts/run.sh --expert | --publish | --fields | --cycles N  [machine.txt]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh native >&2

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug >&2
fi
cmake --build build --parallel 2 --target korvante-headless >&2
exec build/src/korvante-headless "$@"
