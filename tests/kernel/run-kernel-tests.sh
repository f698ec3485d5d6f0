#!/usr/bin/env bash
# `make test-kernel`: the tests under the real kernel (tests/kernel/*Test.cpp, built as test_kernel)
# in one boot of the test machine. Ends with "N passed, M failed"; fails when the machine cannot
# start, with the reason, or when any test fails.
#   tests/kernel/run-kernel-tests.sh BUILD_DIR [gtest arguments]
set -uo pipefail
BUILD="${1:?usage: $0 BUILD_DIR [gtest arguments]}"
shift
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BUILD="$(cd "$BUILD" && pwd)"
BIN="$BUILD/bin/test_kernel"
LOG="$BUILD/kernel-tests.log"
[ -x "$BIN" ] || { echo "kernel tests: $BIN is not built" >&2; exit 1; }

cd "$ROOT"
bash "$HERE/run-guest.sh" --workdir "$BUILD/kernel-guest" --timeout 600 -- \
  "$BIN" --gtest_color=no "$@" 2>&1 | tee "$LOG"
rc=${PIPESTATUS[0]}

passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$LOG" | tail -1)
failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?, listed below:.*/\1/p' "$LOG" | tail -1)
passed=${passed:-0}
failed=${failed:-0}
if [ "$rc" -eq 125 ]; then
  echo "kernel tests: the test machine did not run them (see above)" >&2
  echo "0 passed, 0 failed"
  exit 1
fi
if [ "$passed" -eq 0 ] && [ "$failed" -eq 0 ]; then
  echo "kernel tests: no test result (exit status $rc)" >&2
  echo "0 passed, 0 failed"
  exit 1
fi
echo "$passed passed, $failed failed"
[ "$rc" -eq 0 ] && [ "$failed" -eq 0 ]
