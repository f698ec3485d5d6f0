#!/usr/bin/env bash
# The layer check itself: on a small tree it must refuse an include upwards and the toolkit in the
# core, and accept includes downwards.
# Usage: check_layers_catches.sh SOURCE_DIR
set -u
check=${1:?source folder}/tests/layers/check_layers.sh
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree"/{profiles,devices,link,panels,platform/linux}
printf '#include "profiles/a.h"\n#include "link/b.h"\n' > "$tree/devices/ok.cpp"
printf '#include "platform/x.h"\n' > "$tree/profiles/a.h"
if ! bash "$check" "$tree" > /dev/null; then echo "refused a tree that only includes downwards"; exit 1; fi
for bad in 'profiles/up.h:#include "devices/d.h"' 'platform/linux/up.h:#include "link/b.h"' \
           'link/qt.cpp:#include <QWidget>' 'devices/up.cpp:#include "panels/p.h"'; do
  file=${bad%%:*}
  printf '%s\n' "${bad#*:}" > "$tree/$file"
  if out=$(bash "$check" "$tree"); then echo "missed: $file ${bad#*:}"; exit 1; fi
  grep -q "^$file: " <<< "$out" || { echo "wrong file named: $out"; exit 1; }
  rm "$tree/$file"
done
echo "layer check: catches includes upwards and the toolkit in the core"
