#!/usr/bin/env bash
# Fails when a file includes a layer above its own. Every library has a rank, lowest first; a file
# may include its own library and those below it, never one above. The core libraries never
# include the toolkit.
# Usage: check_layers.sh SOURCE_DIR
set -u
root=${1:?source folder}
cd "$root" || exit 2

# Folder -> rank; the longest folder that a path starts with decides. Lowest first: the platform
# services, the HID transport, the command link (with the device kinds), the JSON files, the
# profile data, macros and the update check, the supported-device tables and discovery, the device kinds' own
# code, the emulator, the command-line tool and the SDK protocol, the toolkit adapter and the Qt-based services, the
# secondary windows, the panels and pages, the application.
declare -A rank=(
  [platform]=0 [platform/linux]=0 [platform/input]=0
  [link/hid]=1
  [link]=2
  [profiles/json]=3
  [profiles]=4
  [macros]=5 [update]=5
  [devices/discovery]=6
  [devices]=7
  [tools/sim]=8 [tools/cli]=8 [tools/sim_main]=8 [app/sdk]=8
  [ui]=9 [platform/qt]=9
  [windows]=10
  [panels]=11
  [app]=12
)
core_max=8 # up to here nothing includes Qt

# Sets RANK (-1: not a layer) and FOLDER for a path, without a subshell.
rank_of() {
  local f=$1 d
  RANK=-1
  FOLDER=""
  for d in "${!rank[@]}"; do
    if [[ $f == "$d"/* && ${#d} -gt ${#FOLDER} ]]; then
      FOLDER=$d
      RANK=${rank[$d]}
    fi
  done
}
include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"]'

status=0
checked=0
while IFS= read -r file; do
  rank_of "$file"
  own=$RANK
  ownFolder=$FOLDER
  [ "$own" -lt 0 ] && continue
  checked=$((checked + 1))
  while IFS= read -r line; do
    [[ $line =~ $include_re ]] || continue
    inc=${BASH_REMATCH[1]}
    if [ "$own" -le "$core_max" ] && [[ $inc =~ ^Q[A-Za-z]+$|^Qt[A-Za-z]*/ ]]; then
      echo "$file: a core file includes the toolkit: $inc"
      status=1
      continue
    fi
    [[ $inc == */* ]] || continue
    rank_of "$inc"
    [ "$RANK" -lt 0 ] && continue
    if [ "$RANK" -gt "$own" ]; then
      echo "$file: $ownFolder (rank $own) includes $FOLDER (rank $RANK), a layer above it: $inc"
      status=1
    fi
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file")
done < <(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp' 2>/dev/null ||
  find . \( -name '*.h' -o -name '*.cpp' \) -printf '%P\n')

echo "layers: $checked files checked"
exit $status
