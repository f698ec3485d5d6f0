#!/usr/bin/env bash
# Runs every fuzz_* program in BIN for SECONDS each, on its seed corpus under tests/fuzz/corpus/NAME.
# An input that crashes a target is kept in BIN/../fuzz-crashes as NAME-crash-<hash>, and the run fails.
set -eu
bin=$1; secs=${2:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
crashes=$(cd "$bin/.." && pwd)/fuzz-crashes
mkdir -p "$crashes"
status=0
for f in "$bin"/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f"); name=${name#fuzz_}
  work=$(mktemp -d)
  seeds="$root/tests/fuzz/corpus/$name"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/ 2>/dev/null || true
  echo "== fuzz $name for ${secs}s"
  if ! "$f" -max_total_time="$secs" -print_final_stats=1 -artifact_prefix="$crashes/$name-" "$work"; then
    echo "== fuzz $name FAILED; the input is in $crashes" >&2
    status=1
  fi
  rm -rf "$work"
done
exit $status
