#!/usr/bin/env bash
# Fails when a file includes a layer above its own: the core (link, devices, profiles, macros,
# platform interfaces and their Linux side) never includes Qt or the toolkit, the panels or the
# application; the toolkit adapter never includes the panels or the application.
# Usage: check_layers.sh SOURCE_DIR
set -u
root=${1:?source folder}
cd "$root" || exit 2

# Folders of each layer, lowest first. A folder listed in a lower layer may hold a subfolder of a
# higher one only where it is named here too (the more specific entry wins).
core=(link devices profiles macros discovery platform platform/linux tools/sim)
ui=(ui platform/qt)
shell=(panels windows app update)

layer_of() { # path -> core | ui | shell | other
  local f=$1 best="" bestLayer=other d
  for d in "${core[@]}"; do [[ $f == "$d"/* && ${#d} -gt ${#best} ]] && { best=$d; bestLayer=core; }; done
  for d in "${ui[@]}"; do [[ $f == "$d"/* && ${#d} -gt ${#best} ]] && { best=$d; bestLayer=ui; }; done
  for d in "${shell[@]}"; do [[ $f == "$d"/* && ${#d} -gt ${#best} ]] && { best=$d; bestLayer=shell; }; done
  echo "$bestLayer"
}
rank() { case $1 in core) echo 0 ;; ui) echo 1 ;; shell) echo 2 ;; *) echo 9 ;; esac; }

status=0
checked=0
while IFS= read -r file; do
  own=$(layer_of "$file")
  [ "$own" = other ] && continue
  checked=$((checked + 1))
  while IFS= read -r line; do
    inc=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/' <<<"$line")
    if [ "$own" = core ] && [[ $inc =~ ^Q[A-Za-z]+$|^Qt[A-Za-z]*/ ]]; then
      echo "$file: a core file includes the toolkit: $inc"
      status=1
      continue
    fi
    [[ $inc == */* ]] || continue
    target=$(layer_of "$inc")
    [ "$target" = other ] && continue
    if [ "$(rank "$target")" -gt "$(rank "$own")" ]; then
      echo "$file: a $own file includes a $target file: $inc"
      status=1
    fi
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include' "$file")
done < <(git ls-files --cached --others --exclude-standard -- '*.h' '*.cpp' 2>/dev/null || find . -name '*.h' -o -name '*.cpp')

echo "layers: $checked files checked"
exit $status
