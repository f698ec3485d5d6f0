#!/usr/bin/env bash
# Runs clang-tidy with the tree's .clang-tidy over the files given, on the compile commands of the
# build folder given first; fails when any finding is reported.
# Usage: scripts/run-tidy.sh BUILD_DIR JOBS FILE...
set -uo pipefail
build=$1 jobs=$2
shift 2
log=$(mktemp)
trap 'rm -f "$log"' EXIT
run-clang-tidy -quiet -j "$jobs" -p "$build" "$@" >"$log" 2>&1
status=$?
# The noise of suppressed warnings in system headers is not a finding.
findings=$(sed 's/\x1b\[[0-9;]*m//g' "$log" | grep -E '^[^ ].*:[0-9]+:[0-9]+: (warning|error):' | sort -u)
if [ -n "$findings" ]; then
  echo "$findings"
  echo "tidy: $(echo "$findings" | wc -l) finding(s) in $# files" >&2
  exit 1
fi
if [ $status -ne 0 ]; then
  tail -20 "$log" >&2
  echo "tidy: clang-tidy failed" >&2
  exit 1
fi
echo "tidy: no findings in $# files"
