#!/usr/bin/env bash
# Every test of the project, stage by stage:
#   native     native tree (build/), ctest
#   address    native tree with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/), ctest
#   thread     native tree with ThreadSanitizer (build-tsan/), ctest
#   fuzz       the libFuzzer targets with clang (build-fuzz/): each replays its kept crash inputs, then
#              runs for a bounded time from its seed corpus (tests/fuzz/make-seeds.sh)
#   windows    the Windows tree with mingw-w64 (build-win/): KORVANTE.exe and the test executables
#   wine       the Windows tests under Wine, in the build tree's own Wine prefix; on a machine that
#              cannot execute 32-bit programs, the same sources built 64-bit (build-win64/) under
#              64-bit Wine
#   wine-gui   the Windows tests that need a display, under Xvfb, with screenshots in the tree's
#              screenshots/ (only when there are any)
# A failing stage does not stop the others; the exit status is non-zero when any stage failed.
# Usage: test.sh [STAGE...]: the named stages only (after the setup), or all of them.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

jobs=2
fuzz_runs=${KORVANTE_FUZZ_RUNS:-200000}
fuzz_seconds=${KORVANTE_FUZZ_SECONDS:-35}  # twelve targets: the stage stays within ten minutes
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

passed=0
failed=0
skipped=0
summary=()

wanted_stages=("$@")  # stage names on the command line: only those run

stage() {  # stage NAME FUNCTION
  local name=$1 fn=$2 start rc
  if [ ${#wanted_stages[@]} -gt 0 ] && ! printf '%s\n' "${wanted_stages[@]}" | grep -qx "$name"; then return; fi
  echo
  echo "=== stage $name ==="
  start=$(date +%s)
  "$fn"
  rc=$?
  local took=$(( $(date +%s) - start ))
  if [ "$rc" -eq 0 ]; then
    passed=$((passed + 1)); summary+=("$(printf '%-9s passed   %4ds' "$name" "$took")")
  elif [ "$rc" -eq 77 ]; then
    skipped=$((skipped + 1)); summary+=("$(printf '%-9s skipped  %4ds  %s' "$name" "$took" "$skip_reason")")
  else
    failed=$((failed + 1)); summary+=("$(printf '%-9s FAILED   %4ds' "$name" "$took")")
  fi
  echo "=== stage $name: exit $rc after ${took}s ==="
}
skip_reason=""

configure_and_build() {  # DIR [cmake options...]
  local dir=$1; shift
  cmake -S . -B "$dir" "${generator[@]}" "$@" && cmake --build "$dir" --parallel "$jobs"
}

native_tree() {  # DIR [cmake options...]
  local dir=$1
  configure_and_build "$@" || return 1
  ctest --test-dir "$dir" --output-on-failure --parallel "$jobs" </dev/null
}

# Unoptimised with debug information for the plain tree (the test sources compile several times
# faster than at -O2), -O1 for the instrumented trees as the sanitizers recommend.
sanitized=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g -O1")

stage_native() { native_tree build -DCMAKE_BUILD_TYPE=Debug; }

stage_address() {
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1} \
  UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    native_tree build-asan "${sanitized[@]}" -DKORVANTE_SANITIZE=address
}

stage_thread() {
  TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan-suppressions.txt} \
    native_tree build-tsan "${sanitized[@]}" -DKORVANTE_SANITIZE=thread
}

stage_fuzz() {
  if ! grep -q 'KORVANTE_FUZZ' CMakeLists.txt; then
    skip_reason="(no fuzz option in CMakeLists.txt)"; return 77
  fi
  CC=clang CXX=clang++ cmake -S . -B build-fuzz "${generator[@]}" "${sanitized[@]}" \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKORVANTE_FUZZ=ON || return 1
  # The fuzz targets are the tree's targets named korvante_fuzz_*.
  local targets
  targets=$(cmake --build build-fuzz --target help | grep -o 'korvante_fuzz_[A-Za-z0-9_]*' | sort -u)
  if [ -z "$targets" ]; then
    skip_reason="(no korvante_fuzz_* target)"; return 77
  fi
  local t rc=0
  fuzz_figures=()
  rm -rf build-fuzz/crashes
  for t in $targets; do
    cmake --build build-fuzz --parallel "$jobs" --target "$t" || { rc=1; continue; }
    local exe corpus
    exe=$(find build-fuzz -type f -perm -u+x -name "$t" | head -n 1)
    corpus=build-fuzz/corpus/$t
    rm -rf "$corpus" "$corpus.dict" && mkdir -p "$corpus" build-fuzz/crashes
    bash tests/fuzz/make-seeds.sh "$t" "$corpus" "$exe" || rc=1
    # Inputs kept for the target (once failing, or edge cases made by hand) are replayed first and
    # seed the run.
    if [ -d "tests/fuzz/regressions/$t" ]; then
      "$exe" tests/fuzz/regressions/"$t"/* </dev/null || rc=1
      cp tests/fuzz/regressions/"$t"/* "$corpus"/
    fi
    local dictionary=()
    if [ -f "$corpus.dict" ]; then dictionary=(-dict="$corpus.dict")
    elif [ -f "tests/fuzz/${t#korvante_fuzz_}.dict" ]; then dictionary=(-dict="tests/fuzz/${t#korvante_fuzz_}.dict")
    fi
    echo "--- $t: $(ls "$corpus" | wc -l) seeds, up to $fuzz_runs runs or ${fuzz_seconds}s"
    "$exe" -runs="$fuzz_runs" -max_total_time="$fuzz_seconds" -print_final_stats=1 "${dictionary[@]}" \
      -artifact_prefix="build-fuzz/crashes/$t-" "$corpus" </dev/null 2>&1 | tee "build-fuzz/$t.log" | grep -v '^#'
    local status=("${PIPESTATUS[@]}")
    [ "${status[0]}" -eq 0 ] || rc=1
    fuzz_figures+=("$(printf '%-32s %s' "$t" "$(grep -o 'DONE.*' "build-fuzz/$t.log" | \
      sed -E 's/.*cov: ([0-9]+) ft: ([0-9]+).*exec\/s: ([0-9]+).*/cov \1  features \2  \3 inputs\/s/')")")
  done
  echo "--- fuzz figures (coverage: edges reached; features: edge and counter pairs)"
  printf '%s\n' "${fuzz_figures[@]}"
  if ls build-fuzz/crashes/* >/dev/null 2>&1; then
    echo "--- failing inputs, to be kept in tests/fuzz/regressions/TARGET/ once mended:"
    ls build-fuzz/crashes/
  fi
  return $rc
}

# The Windows publishing round trip runs against the native drive database server, which the native
# stage built; the Windows trees are told where it is (the test is skipped without it).
server_program=(-DKORVANTE_SERVER_PROGRAM="$root/build/src/server/korvante-server")

stage_windows() {
  configure_and_build build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
    -DKORVANTE_WINEPREFIX="$root/build-win/wineprefix" "${server_program[@]}"
}

# Wine runs the 32-bit program only where this machine executes 32-bit code: some virtual machines'
# kernels have IA-32 emulation switched off, and every 32-bit program then fails with "Exec format error".
runs_32bit_programs() {
  wine --version >/dev/null 2>&1
}

# The tree the Wine stages run and its Wine: the 32-bit tree under 32-bit Wine where this machine
# executes 32-bit programs, otherwise the 64-bit tree under 64-bit Wine (the request-buffer layout
# checks are 32-bit only and stay out of it). The loader is the one the tree's toolchain file found.
wine_tree=""
wine_loader=""
choose_wine_tree() {
  if runs_32bit_programs; then
    wine_tree=build-win
    export WINEARCH=win32
    echo "the 32-bit Windows tree (build-win/) under 32-bit Wine"
  else
    wine_tree=build-win64
    export WINEARCH=win64
    echo "this machine cannot execute 32-bit programs: the 64-bit Windows tree (build-win64/) under 64-bit Wine"
  fi
}

configure_wine64_tree() {
  configure_and_build build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DKORVANTE_WINEPREFIX="$root/build-win64/wineprefix" "${server_program[@]}"
}

find_wine_loader() {
  wine_loader=$(sed -n 's/^WINE_EXECUTABLE:FILEPATH=//p' "$wine_tree/CMakeCache.txt")
  if [ ! -x "$wine_loader" ]; then echo "$wine_tree found no Wine loader (${wine_loader:-none})"; return 1; fi
}

# The Wine prefix of the chosen tree, and a wineserver for it alone.
export WINEDEBUG=-all,err+module
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine_server_up=0

start_wine() {
  export WINEPREFIX="$root/$wine_tree/wineprefix"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    local start=$(date +%s)
    "$wine_loader" wineboot --init </dev/null >/dev/null 2>&1
    wineserver -w
    echo "new $WINEARCH Wine prefix in $(( $(date +%s) - start ))s"
  fi
  # One long-lived server, and Wine's services started with their output on /dev/null: otherwise
  # they hold the tests' output pipes open.
  wineserver -p </dev/null >/dev/null 2>&1
  wine_server_up=1
  "$wine_loader" wineboot </dev/null >/dev/null 2>&1
}

# Stops the server of this prefix only (WINEPREFIX names it); no other Wine process is touched.
stop_wine() {
  if [ "$wine_server_up" -eq 1 ]; then
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    wine_server_up=0
  fi
}
trap stop_wine EXIT

stage_wine() {
  if [ ! -f build-win/CTestTestfile.cmake ]; then echo "the Windows tree is not configured"; return 1; fi
  choose_wine_tree
  if [ "$wine_tree" = build-win64 ]; then configure_wine64_tree || return 1; fi
  find_wine_loader || return 1
  start_wine
  local start=$(date +%s)
  ctest --test-dir "$wine_tree" -LE gui --output-on-failure -V </dev/null
  local rc=$?
  echo "Windows tests of $wine_tree in $(( $(date +%s) - start ))s"
  stop_wine
  return $rc
}

stage_wine_gui() {
  choose_wine_tree
  local count
  count=$(ctest --test-dir "$wine_tree" -N -L gui 2>/dev/null | sed -n 's/^Total Tests: *//p')
  if [ "${count:-0}" -eq 0 ]; then
    skip_reason="(no tests labelled gui in $wine_tree/)"; return 77
  fi
  find_wine_loader || return 1
  export WINEPREFIX="$root/$wine_tree/wineprefix"
  # A server started without a display stays without one: start a fresh one inside the session.
  WINE_LOADER="$wine_loader" WINE_TREE="$wine_tree" xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    wineserver -p </dev/null >/dev/null 2>&1; "$WINE_LOADER" wineboot </dev/null >/dev/null 2>&1;
    ctest --test-dir "$WINE_TREE" -L gui --output-on-failure </dev/null; r=$?; wineserver -k; exit $r'
  local rc=$?
  echo "screenshots in $wine_tree/screenshots/"
  return $rc
}

total_start=$(date +%s)
echo "=== setup ==="
if ! bash scripts/setup.sh test; then
  echo "setup failed"
  echo "stages: 0 passed, 1 failed"
  exit 1
fi

stage native stage_native
stage address stage_address
stage thread stage_thread
stage fuzz stage_fuzz
stage windows stage_windows
if [ ${#wanted_stages[@]} -gt 0 ]; then
  stage wine stage_wine
  stage wine-gui stage_wine_gui
elif [ -f build-win/CTestTestfile.cmake ]; then
  stage wine stage_wine
  stage wine-gui stage_wine_gui
else
  failed=$((failed + 1)); summary+=("$(printf '%-9s FAILED   %4ds  %s' wine 0 "(no Windows tree)")")
fi

echo
echo "=== summary ($(( $(date +%s) - total_start ))s) ==="
printf '%s\n' "${summary[@]}"
echo "stages: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
