#!/usr/bin/env bash
# Runs every benchmark program in BIN and prints its figures.
set -eu
bin=$1
for b in "$bin"/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
