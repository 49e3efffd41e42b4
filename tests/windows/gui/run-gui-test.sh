#!/usr/bin/env bash
# One GUI test under Wine: runs the checker (and through it the program under test), takes a
# screenshot of the X display when the checker says the windows are up, and passes on its verdict.
#   run-gui-test.sh SCREENSHOT.png WINE-COMMAND... CHECKER.exe PROGRAM.exe [checker options]
# "SHOOT NAME" from the checker takes SCREENSHOT-NAME.png instead.
# Needs a display (the wine-gui stage runs the tests under Xvfb), xwd and ImageMagick's convert.
set -uo pipefail
shot=$1; shift
if [ -z "${DISPLAY:-}" ]; then echo "no X display: run under xvfb-run (the wine-gui stage does)"; exit 1; fi
mkdir -p "$(dirname "$shot")"
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert

coproc CHECK { "$@" 2>&1; }
checker_pid=$CHECK_PID
exec {from_checker}<&"${CHECK[0]}" {to_checker}>&"${CHECK[1]}"
while IFS= read -r line <&"$from_checker"; do
  line=${line%$'\r'}
  echo "$line"
  if [ "${line%% *}" = SHOOT ]; then
    file=$shot
    [ "$line" = SHOOT ] || file=${shot%.png}-${line#SHOOT }.png
    if xwd -root -silent | "$convert" xwd:- png:"$file"; then echo "screenshot: $file"; else echo "screenshot failed"; fi
    echo done >&"$to_checker"
  fi
done
wait "$checker_pid"
