#!/usr/bin/env bash
# Measures the application: start-up time to the window first shown, CPU use over a period with the
# window shown (in front, and behind another window) and with it hidden (percent of one core, from /proc/PID/stat), and resident memory,
# each without a device and with the emulated keyboard connected; then the time from plugging the
# emulated keyboard in (starting nk7x-sim) to its page filled ("NK7X_PAGE_READY"). A bare toolkit
# window (bench_bare_window) is measured the same way first, and its figure printed beside the
# program's idle figures: what the toolkit alone costs on this display.
# Usage: bench/app_cpu.sh [BIN] [SECONDS]   (BIN: folder holding nk7x, nk7x-sim and bench_bare_window,
# default build/bin; 30 s)
# NK7X_BENCH_DISPLAY=xvfb runs under one Xvfb, started before the first run, instead of the
# offscreen platform.
set -euo pipefail

bin=${1:-build/bin}
secs=${2:-30}
app="$bin/nk7x"
sim="$bin/nk7x-sim"
bare="$bin/bench_bare_window"
[ -x "$app" ] || { echo "app_cpu: $app is missing; build first" >&2; exit 1; }
[ -x "$sim" ] || { echo "app_cpu: $sim is missing; build first" >&2; exit 1; }
if [ ! -x "$bare" ]; then
  echo "app_cpu: $bare is missing (build bench_bare_window); no reference figure" >&2
  bare=
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/nk7x-bench-XXXXXX")
chmod 700 "$work"
export NK7X_SIM_DIR="$work/sim"
mkdir -m 700 "$NK7X_SIM_DIR"
pid=
sim_pid=
stop_sim() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  sim_pid=
}
# $1: the emulated kind (default keyboard).
start_sim() {
  local kind=${1:-keyboard}
  "$sim" --kind "$kind" --name bench >"$work/sim.log" 2>&1 &
  sim_pid=$!
  for _ in $(seq 1 200); do
    [ -S "$NK7X_SIM_DIR/bench-mi01.sock" ] && return 0
    sleep 0.01
  done
  echo "app_cpu: the emulator did not plug in" >&2
  cat "$work/sim.log" >&2
  exit 1
}
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  stop_sim
  if [ -n "${bus:-}" ]; then
    kill -TERM "$bus" 2>/dev/null || true
    wait "$bus" 2>/dev/null || true
  fi
  if [ -n "$xserver" ]; then
    kill -TERM "$xserver" 2>/dev/null || true
    wait "$xserver" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A session bus as a desktop session has one: without it the first program of the run would
# start one of its own through the bus library's autolaunch, and its start-up would count that.
bus=
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && command -v dbus-daemon >/dev/null; then
  dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
  bus=$!
  for _ in $(seq 1 500); do
    [ -s "$work/bus" ] && break
    sleep 0.01
  done
  DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
  export DBUS_SESSION_BUS_ADDRESS
fi

# Under Xvfb one X server serves every run, started before the first: a start-up time is the
# program's own, not the server's.
xdisplay=
xserver=
if [ "${NK7X_BENCH_DISPLAY:-offscreen}" = xvfb ]; then
  command -v Xvfb >/dev/null || { echo "app_cpu: Xvfb is missing" >&2; exit 1; }
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  xserver=$!
  for _ in $(seq 1 500); do
    [ -s "$work/display" ] && break
    sleep 0.01
  done
  [ -s "$work/display" ] || { echo "app_cpu: Xvfb did not start" >&2; exit 1; }
  xdisplay=:$(head -n1 "$work/display")
fi

tck=$(getconf CLK_TCK)
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
# Without perf: nanoseconds on a CPU of every live thread of the process (the scheduler's own count,
# far finer than the 10 ms ticks of /proc/PID/stat; a thread that ends within the period takes its
# share along).
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f", s }'; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
now_ms() { date +%s%3N; }

# Starts the program and waits for its window to be shown; sets pid, target and shown.
# $1 is "shown" or "hidden", $2 names the run's output files, $3 the program (default: nk7x).
launch() {
  local mode=$1 tag=$2 prog=${3:-$app} extra=()
  [ "$mode" = hidden ] && extra=(--hidden)
  out="$work/$tag.out"
  : >"$out"
  local t0
  t0=$(now_ms)
  env QT_QPA_PLATFORM="$([ -n "$xdisplay" ] && echo xcb || echo offscreen)" DISPLAY="$xdisplay" \
      XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
      NK7X_PRINT_SHOWN=1 "$prog" "${extra[@]}" >"$out" 2>"$work/$tag.err" &
  pid=$!
  shown=
  for _ in $(seq 1 200); do
    shown=$(awk '/^NK7X_SHOWN / { print $2; exit }' "$out")
    [ -n "$shown" ] && break
    sleep 0.05
  done
  [ -n "$shown" ] || { echo "app_cpu: the window was not shown within 10 s" >&2; cat "$work/$tag.err" >&2; exit 1; }
  target=$pid
  launched=$t0
}

finish() {
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
}

# Waits for the page-ready line; prints its time stamp or nothing after 10 s.
page_ready() {
  local ready=
  for _ in $(seq 1 1000); do
    ready=$(awk '/^NK7X_PAGE_READY / { print $2; exit }' "$out")
    [ -n "$ready" ] && break
    sleep 0.01
  done
  echo "$ready"
}

# CPU over the measuring period, percent of one core, of the process $target.
cpu_over_period() {
  # perf counts every thread's time, also of threads that end within the period.
  if command -v perf >/dev/null && perf stat -e task-clock -x, -p $$ -- true >/dev/null 2>&1; then
    local ms
    ms=$(perf stat -e task-clock -x, -p "$target" -- sleep "$secs" 2>&1 >/dev/null | awk -F, '/task-clock/ { print $1; exit }')
    if [ -n "$ms" ]; then
      awk -v m="$ms" -v s="$secs" 'BEGIN { printf "%.3f", m / 1000 / s * 100 }'
      return
    fi
  fi
  if [ -r "/proc/$target/schedstat" ]; then
    local n0 n1
    n0=$(cpu_ns "$target")
    sleep "$secs"
    n1=$(cpu_ns "$target")
    awk -v a="$n0" -v b="$n1" -v s="$secs" 'BEGIN { printf "%.3f", (b - a) / 1e9 / s * 100 }'
    return
  fi
  local c0 c1
  c0=$(cpu_ticks "$target")
  sleep "$secs"
  c1=$(cpu_ticks "$target")
  awk -v d=$((c1 - c0)) -v t="$tck" -v s="$secs" 'BEGIN { printf "%.2f", d / t / s * 100 }'
}

# The bare window, shown or hidden ($1); sets bare_shown or bare_hidden.
bare_shown=
bare_hidden=
measure_bare() {
  local mode=$1
  [ -n "$bare" ] || return 0
  launch "$mode" "bare-$mode" "$bare"
  sleep 1
  local cpu
  cpu=$(cpu_over_period)
  local rss
  rss=$(rss_kb "$target")
  printf '%-7s %-9s cpu %6s %% of one core over %s s   rss %6.1f MB' "$mode" "-" "$cpu" "$secs" \
    "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')"
  if [ "$mode" = shown ]; then printf '   start-up to shown %d ms' $((shown - launched)); fi
  printf '   (bare toolkit window, the reference)\n'
  if [ "$mode" = shown ]; then bare_shown=$cpu; else bare_hidden=$cpu; fi
  finish
}

# One CPU run; $1 is "shown" or "hidden", $2 "none", "keyboard" or "mouse" (the emulator runs
# already). With a mouse, the lighting stream's timing follows (NK7X_STREAM at the program's end).
measure() {
  local mode=$1 device=$2 front=
  local launchMode=$mode
  [ "$mode" = behind ] && launchMode=shown
  launch "$launchMode" "$mode-$device"
  if [ "$device" != none ] && [ -z "$(page_ready)" ]; then
    echo "app_cpu: the $device page was not filled within 10 s" >&2
    cat "$work/$mode-$device.err" >&2
    exit 1
  fi
  if [ "$mode" = behind ]; then
    # Another window takes the front: the program's window stays shown behind it.
    [ -n "$bare" ] || { echo "app_cpu: behind needs $bin/bench_bare_window" >&2; exit 1; }
    env QT_QPA_PLATFORM="$([ -n "$xdisplay" ] && echo xcb || echo offscreen)" DISPLAY="$xdisplay" \
      "$bare" --front >/dev/null 2>&1 &
    front=$!
  fi
  sleep 1
  local cpu rss
  cpu=$(cpu_over_period)
  rss=$(rss_kb "$target")
  printf '%-7s %-9s cpu %6s %% of one core over %s s   rss %6.1f MB' "$mode" "$device" "$cpu" "$secs" \
    "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')"
  local ref
  if [ "$mode" != hidden ]; then ref=$bare_shown; else ref=$bare_hidden; fi
  if [ -n "$ref" ]; then printf '   bare window %s %%' "$ref"; fi
  if [ "$mode" = shown ]; then
    printf '   start-up to shown %d ms' $((shown - launched))
  fi
  printf '\n'
  if [ -n "$front" ]; then
    kill -TERM "$front" 2>/dev/null || true
    wait "$front" 2>/dev/null || true
  fi
  finish
  local stream
  stream=$(awk '/^NK7X_STREAM / { $1 = ""; print; exit }' "$out")
  if [ -n "$stream" ]; then printf '        lighting stream:%s\n' "$stream"; fi
}

# The keyboard plugged in while the window is up: emulator start to the keyboard page filled.
plug_in() {
  launch shown plug
  sleep 1
  local t0 ready
  t0=$(now_ms)
  start_sim
  ready=$(page_ready)
  [ -n "$ready" ] || { echo "app_cpu: the keyboard page was not filled within 10 s" >&2; cat "$work/plug.err" >&2; exit 1; }
  printf 'plug-in to keyboard page filled %d ms\n' $((ready - t0))
  finish
  stop_sim
}

echo "targets: no device: hidden <= 0.05 %, shown <= 0.05 %, start-up <= 200 ms, rss <= 45 MB"
echo "         keyboard: hidden <= 0.1 %, shown <= 1 %, plug-in to page filled <= 600 ms"
echo "         mouse: shown <= 0.3 %, hidden <= 0.3 % (its lighting streams every 50 ms), each frame within 5 ms of its tick"
measure_bare shown
measure_bare hidden
measure shown none
measure hidden none
start_sim
measure shown keyboard
measure behind keyboard
measure hidden keyboard
stop_sim
start_sim mouse
measure shown mouse
measure behind mouse
measure hidden mouse
stop_sim
plug_in
