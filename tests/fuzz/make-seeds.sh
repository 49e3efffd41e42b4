#!/usr/bin/env bash
# Writes the seed corpus of one fuzz target into CORPUS, from the project's own test data and, when it
# is there, the real drive pages in ../shared/fixtures (read in place, never copied into the
# repository). Targets that build their own seeds from the simulated machine write them when run with
# KORVANTE_FUZZ_SEEDS; a dictionary made here goes beside the corpus as CORPUS.dict.
# Usage: make-seeds.sh TARGET CORPUS EXECUTABLE
set -euo pipefail
target=$1 corpus=$2 exe=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tests=$(dirname "$here")
real=$(dirname "$tests")/../shared/fixtures/real-drives
mkdir -p "$corpus"
n=0
seed() { n=$((n + 1)); cat "$@" > "$corpus/seed-$n"; }
real_drives() { [ -d "$real" ] && find "$real" -mindepth 1 -maxdepth 1 -type d | sort || true; }
case "$target" in
  korvante_fuzz_ata_identify)
    for d in $(real_drives); do [ -f "$d/identify.bin" ] && seed "$d/identify.bin"; done ;;
  korvante_fuzz_smart_pages)
    for d in $(real_drives); do
      [ -f "$d/smart-data.bin" ] && [ -f "$d/smart-thresholds.bin" ] &&
        seed "$d/smart-data.bin" "$d/smart-thresholds.bin" <(basename "$d" | sed 's/__/\n/; s/_/ /g')
    done ;;
  korvante_fuzz_nvme_pages)
    seed "$tests/fixtures/nvme/health.bin" "$tests/fixtures/nvme/id-ctrl.bin" ;;
  korvante_fuzz_machine_file)
    for f in "$tests"/fixtures/*.machine; do seed "$f"; done ;;
  korvante_fuzz_rich_text)
    for f in "$tests"/golden/report-*.txt; do seed <(head -c 2048 "$f"); done  # a report's first sections
    printf '\001https://example.com/{x}\\\001a link\nplain {text} \\ with \x92 bytes\n' > "$corpus/seed-link" ;;
  korvante_fuzz_ata_logs|korvante_fuzz_nvme_logs|korvante_fuzz_persisted_values)
    KORVANTE_FUZZ_SEEDS=$corpus "$exe" ;;
  korvante_fuzz_publish_block)
    KORVANTE_FUZZ_SEEDS=$corpus KORVANTE_FUZZ_DICTIONARY=$corpus.dict "$exe" ;;
  korvante_fuzz_upload)
    # The program's blocks of the built-in machine inside the form the program posts.
    blocks=$(mktemp -d)
    KORVANTE_FUZZ_SEEDS=$blocks KORVANTE_FUZZ_DICTIONARY=$corpus.dict "$(dirname "$exe")/korvante_fuzz_publish_block"
    for b in "$blocks"/*; do
      seed <(printf -- '--ThisBoundary\r\nContent-Disposition: form-data; name="ver"\r\n\r\n2.0.0.7711\r\n--ThisBoundary\r\nContent-Disposition: form-data; name="txt"\r\n\r\nModel - X\r\n--ThisBoundary\r\nContent-Disposition: form-data; name="bin"\r\n\r\n') \
        "$b" <(printf -- '\r\n--ThisBoundary--')
    done
    rm -rf "$blocks"
    printf 'boundary="--ThisBoundary"\ndisposition="Content-Disposition: form-data; name=\\"bin\\""\n' >> "$corpus.dict"
    printf -- '--ThisBoundary\r\nContent-Disposition: form-data; name="ver"\r\n\r\n2.0.0.7711\r\n--ThisBoundary\r\nContent-Disposition: form-data; name="txt"\r\n\r\nModel - X\r\n--ThisBoundary--' \
      > "$corpus/seed-no-block" ;;
  korvante_fuzz_bridges)
    # each bridge answering every block as it would: its picking byte, then a zero mode per reply
    for b in 0 1 2 3 4 5 6; do seed <(printf "\\x0$b") <(head -c 64 /dev/zero); done ;;
  korvante_fuzz_update_checks)
    printf '2.0.0.77112.0.1.0' > "$corpus/seed-versions"
    printf 'MZ\0\0' > "$corpus/seed-image" ;;
esac
exit 0
