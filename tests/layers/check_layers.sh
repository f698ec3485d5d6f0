#!/usr/bin/env bash
# Fails when a file includes a layer above its own: the core (link, devices, profiles, macros, update,
# platform interfaces and their Linux side) never includes Qt or the toolkit, the panels or the
# application; the toolkit adapter never includes the panels or the application.
# Usage: check_layers.sh SOURCE_DIR
set -u
root=${1:?source folder}
cd "$root" || exit 2

# Folders of each layer, lowest first. A folder listed in a lower layer may hold a subfolder of a
# higher one only where it is named here too (the more specific entry wins).
core=(link devices profiles macros discovery update platform platform/linux tools/sim)
ui=(ui platform/qt)
shell=(panels windows app)

# Sets LAYER to core, ui, shell or other for a path (no subshell: the tree has thousands of lines).
layer_of() {
  local f=$1 best="" d
  LAYER=other
  for d in "${core[@]}"; do [[ $f == "$d"/* && ${#d} -gt ${#best} ]] && { best=$d; LAYER=core; }; done
  for d in "${ui[@]}"; do [[ $f == "$d"/* && ${#d} -gt ${#best} ]] && { best=$d; LAYER=ui; }; done
  for d in "${shell[@]}"; do [[ $f == "$d"/* && ${#d} -gt ${#best} ]] && { best=$d; LAYER=shell; }; done
}
declare -A rank=([core]=0 [ui]=1 [shell]=2)
include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"]'

status=0
checked=0
while IFS= read -r file; do
  layer_of "$file"
  own=$LAYER
  [ "$own" = other ] && continue
  checked=$((checked + 1))
  while IFS= read -r line; do
    [[ $line =~ $include_re ]] || continue
    inc=${BASH_REMATCH[1]}
    if [ "$own" = core ] && [[ $inc =~ ^Q[A-Za-z]+$|^Qt[A-Za-z]*/ ]]; then
      echo "$file: a core file includes the toolkit: $inc"
      status=1
      continue
    fi
    [[ $inc == */* ]] || continue
    layer_of "$inc"
    [ "$LAYER" = other ] && continue
    if [ "${rank[$LAYER]}" -gt "${rank[$own]}" ]; then
      echo "$file: a $own file includes a $LAYER file: $inc"
      status=1
    fi
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file")
done < <(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp' 2>/dev/null || find . -name '*.h' -o -name '*.cpp')

echo "layers: $checked files checked"
exit $status
