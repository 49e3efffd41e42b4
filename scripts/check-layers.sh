#!/usr/bin/env bash
# Checks that includes point one way between the folders of src/ (the table below, which the README
# repeats) and that no Windows header is included outside the Windows platform code and its tests.
# Prints every offending line; exits 1 when there is any.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

# folder: the folders its files may include besides their own
declare -A allowed=(
  [protocol]=""
  [platform]=""
  [platform/sim]="platform protocol"
  [platform/win32]="platform protocol"
  [system]="platform"
  [device]="platform protocol"
  [smart]="device protocol"
  [knowledge]="smart device protocol"
  [discovery]="knowledge smart device system platform protocol"
  [monitor]="discovery knowledge smart device system platform protocol"
  [drivetools]="monitor discovery knowledge smart device system platform protocol"
  [net]="monitor drivetools discovery knowledge smart device system platform protocol"
  [ui]="net monitor drivetools discovery knowledge smart device system platform protocol"
  [server]="net knowledge smart device protocol"
  [app]="ui net monitor drivetools discovery knowledge smart device system platform protocol platform/sim"
)

windows_headers='windows|winioctl|setupapi|devpropdef|devpkey|dbt|shellapi|ntddscsi|ntdddisk|ntddstor|nvme|initguid|pciprop|winbase|winreg|wininet|mmsystem|timeapi|commctrl|richedit|shlobj|winuser|wingdi|winnt|windef|winsvc|winver|objbase|tlhelp32|psapi|ntsecapi|sddl|aclapi|shlwapi|commdlg'

# The folder a file or include path belongs to, into $folder: platform/sim and platform/win32 are
# folders of their own.
folder_of() {
  case "$1" in
    platform/sim/*) folder=platform/sim ;;
    platform/win32/*) folder=platform/win32 ;;
    */*) folder=${1%%/*} ;;
    *) folder="" ;;
  esac
}

bad=0
while IFS= read -r file; do
  rel=${file#src/}
  folder_of "$rel"; own=$folder
  if [ -z "${allowed[$own]+set}" ]; then
    echo "$file: the folder '$own' has no line in the include rules"; bad=1; continue
  fi
  while IFS=: read -r line target; do
    folder_of "$target"; dep=$folder
    [ "$dep" = "$own" ] && continue
    case " ${allowed[$own]} " in *" $dep "*) continue ;; esac
    echo "$file:$line: '$own' may not include \"$target\""; bad=1
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" | sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/')
done < <(find src -name '*.h' -o -name '*.cpp' | sort)

# The drive table is filled by the scan alone: in src/, only discovery/ (and the table itself) may
# include what adds and removes drives.
while IFS= read -r hit; do
  case "$hit" in src/discovery/*|src/device/*) continue ;; esac
  echo "$hit: only the scan fills the drive table"; bad=1
done < <(grep -rn --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"device/DriveTableFill.h"' src || true)

# Windows headers: only the Windows platform code and the Windows tests.
while IFS= read -r hit; do
  case "$hit" in src/platform/win32/*|tests/windows/*) continue ;; esac
  echo "$hit: a Windows header outside src/platform/win32 and tests/windows"; bad=1
done < <(grep -rniE --include='*.h' --include='*.cpp' "^[[:space:]]*#[[:space:]]*include[[:space:]]*<($windows_headers)\.h>" src tests benchmarks || true)

exit $bad
