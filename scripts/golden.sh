#!/usr/bin/env bash
# Rewrites the golden files of the headless output (tests/golden/*.txt) from the native tree build/,
# then shows what changed: review that diff before committing it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug
cmake --build build --parallel 2 --target update-golden
git diff --stat -- tests/golden
git status --short -- tests/golden
