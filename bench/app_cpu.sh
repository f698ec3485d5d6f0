#!/usr/bin/env bash
# Measures the application: start-up time to the window first shown, CPU use over a period with the
# window shown and with it hidden (percent of one core, from /proc/PID/stat), and resident memory.
# Usage: bench/app_cpu.sh [BIN] [SECONDS]   (BIN: folder holding nk7x, default build/bin; 30 s)
# NK7X_BENCH_DISPLAY=xvfb runs under Xvfb instead of the offscreen platform.
set -euo pipefail

bin=${1:-build/bin}
secs=${2:-30}
app="$bin/nk7x"
[ -x "$app" ] || { echo "app_cpu: $app is missing; build first" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/nk7x-bench-XXXXXX")
chmod 700 "$work"
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

tck=$(getconf CLK_TCK)
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
now_ms() { date +%s%3N; }

# One run of the program; $1 is "shown" or "hidden".
measure() {
  local mode=$1 extra=()
  [ "$mode" = hidden ] && extra=(--hidden)
  local out="$work/$mode.out"
  : >"$out"
  local runner=()
  if [ "${NK7X_BENCH_DISPLAY:-offscreen}" = xvfb ] && command -v xvfb-run >/dev/null; then
    runner=(xvfb-run -a -s "-screen 0 1920x1080x24")
  fi
  local t0
  t0=$(now_ms)
  env QT_QPA_PLATFORM="$([ ${#runner[@]} -gt 0 ] && echo xcb || echo offscreen)" \
      XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
      NK7X_PRINT_SHOWN=1 "${runner[@]}" "$app" "${extra[@]}" >"$out" 2>"$work/$mode.err" &
  pid=$!
  local shown=
  for _ in $(seq 1 200); do
    shown=$(awk '/^NK7X_SHOWN / { print $2; exit }' "$out")
    [ -n "$shown" ] && break
    sleep 0.05
  done
  [ -n "$shown" ] || { echo "app_cpu: the window was not shown within 10 s" >&2; cat "$work/$mode.err" >&2; exit 1; }
  # Under xvfb-run the program is a child of the wrapper.
  local target=$pid
  if [ ${#runner[@]} -gt 0 ]; then
    target=$(pgrep -x -P "$pid" nk7x || echo "$pid")
  fi
  sleep 1
  local c0 c1
  c0=$(cpu_ticks "$target")
  sleep "$secs"
  c1=$(cpu_ticks "$target")
  local rss
  rss=$(rss_kb "$target")
  local cpu
  cpu=$(awk -v d=$((c1 - c0)) -v t="$tck" -v s="$secs" 'BEGIN { printf "%.2f", d / t / s * 100 }')
  printf '%-7s cpu %6s %% of one core over %s s   rss %6.1f MB' "$mode" "$cpu" "$secs" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')"
  if [ "$mode" = shown ]; then
    printf '   start-up to shown %d ms' $((shown - t0))
  fi
  printf '\n'
  # The program itself first: under xvfb-run it would otherwise outlive the wrapper and keep the
  # single-instance lock from the next run.
  kill -TERM "$target" 2>/dev/null || true
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
}

echo "targets: hidden <= 0.5 %, shown <= 1 %, start-up <= 500 ms, rss <= 80 MB"
measure shown
measure hidden
