#!/usr/bin/env bash
# Runs every fuzz_* program in BIN for SECONDS each, on its seed corpus under tests/fuzz/corpus/NAME.
set -eu
bin=$1; secs=${2:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for f in "$bin"/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f"); name=${name#fuzz_}
  work=$(mktemp -d)
  seeds="$root/tests/fuzz/corpus/$name"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/ 2>/dev/null || true
  echo "== fuzz $name for ${secs}s"
  "$f" -max_total_time="$secs" -print_final_stats=1 "$work" || status=1
  rm -rf "$work"
done
exit $status
