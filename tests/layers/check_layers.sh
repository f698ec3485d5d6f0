#!/usr/bin/env bash
# Fails when a file includes a layer above its own. Every library has a rank, lowest first; a file
# may include its own library and those below it, never one above. The core libraries never
# include the toolkit.
# Usage: check_layers.sh SOURCE_DIR
set -u
root=${1:?source folder}
cd "$root" || exit 2

# Folder -> rank; the longest folder that a path starts with decides. Lowest first: the platform
# services, the HID transport, the command link (with the device kinds), profile data and files,
# macros and the update check, the supported-device tables and discovery, the device kinds' own
# code, the emulator and the command-line tool, the toolkit adapter and the Qt-based services, the
# secondary windows, the panels and pages, the application.
declare -A rank=(
  [platform]=0 [platform/linux]=0 [platform/input]=0
  [link/hid]=1
  [link]=2
  [profiles]=3
  [macros]=4 [update]=4
  [devices/discovery]=5
  [devices]=6
  [tools/sim]=7 [tools/cli]=7 [tools/sim_main]=7
  [ui]=8 [platform/qt]=8
  [windows]=9
  [panels]=10
  [app]=11
)
core_max=7 # up to here nothing includes Qt

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
