#!/usr/bin/env bash
# Measures what following the application in front costs the program while nothing changes: its CPU
# over a period (percent of one core, from /proc/PID/stat) on an X server without bindings (nothing
# tracked) and with one (the X11 tracking waits on the display connection), then the CPU of ten
# focus changes. The X server is Xvfb; the root window names the active window as a window manager
# does (xprop), since Xvfb has none.
# Usage: bench/follow_idle.sh [BIN] [SECONDS]   (BIN: the folder holding nk7x, default build/bin; 20 s)
set -euo pipefail

bin=${1:-build/bin}
secs=${2:-20}
app="$bin/nk7x"
here=$(cd "$(dirname "$0")/.." && pwd)
[ -x "$app" ] || { echo "follow_idle: $app is missing; build first" >&2; exit 1; }
command -v Xvfb >/dev/null && command -v xprop >/dev/null ||
  { echo "follow_idle: needs Xvfb and xprop" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/nk7x-follow-XXXXXX")
chmod 700 "$work"
xpid=
pid=
cleanup() {
  [ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  [ -n "$xpid" ] && kill -TERM "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

for n in $(seq 150 199); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
done
# -noreset: the root properties outlive the xprop that set them.
Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xpid=$!
for _ in $(seq 1 300); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.01; done
export DISPLAY=":$n"
xprop -root -f _NET_SUPPORTED 32a -set _NET_SUPPORTED _NET_ACTIVE_WINDOW
xprop -root -f _NET_ACTIVE_WINDOW 32x -set _NET_ACTIVE_WINDOW 0x0

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

# $1: label; $2: "bind" to write a binding first. Prints the idle CPU, then the CPU of ten focus
# changes (each of them a property change on the root window).
measure() {
  local home="$work/$1"
  mkdir -p -m 700 "$home/run" "$home/data/Norla Keys NK-7X/keyboard"
  if [ "$2" = bind ]; then
    printf '{"default":"","bindings":[{"app":"SomeGame","profile":"none"}]}\n' \
      >"$home/data/Norla Keys NK-7X/keyboard/AppBindings.json"
  fi
  XDG_RUNTIME_DIR="$home/run" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    NK7X_PROGRAM_DIR="$here" NK7X_DEBUG=1 NK7X_SIM_DIR="$home/nosim" NK7X_INPUT_DIR="$home/noinput" \
    DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent QT_QPA_PLATFORM=xcb "$app" 2>"$home/log" &
  pid=$!
  sleep 4 # start-up done
  local t0 t1 w0 w1
  t0=$(ticks "$pid"); w0=$(date +%s%N)
  sleep "$secs"
  t1=$(ticks "$pid"); w1=$(date +%s%N)
  local idle
  idle=$(awk -v t=$((t1 - t0)) -v w=$((w1 - w0)) -v hz="$hz" 'BEGIN { printf "%.2f", 100 * t / hz / (w / 1e9) }')
  t0=$(ticks "$pid")
  for i in $(seq 1 10); do
    xprop -root -f _NET_ACTIVE_WINDOW 32x -set _NET_ACTIVE_WINDOW "0x$((i % 2 + 1))"
    sleep 0.1
  done
  t1=$(ticks "$pid")
  local tracked="no"
  grep -q "profiles follow the application in front (X11)" "$home/log" && tracked="X11"
  printf '%-22s tracking: %-4s idle %s %% of a core; ten focus changes: %d ms of CPU\n' "$1" "$tracked" "$idle" \
    $(((t1 - t0) * 1000 / hz))
  kill -TERM "$pid"; wait "$pid" 2>/dev/null || true; pid=
}

echo "follow_idle: $secs s each, Xvfb $DISPLAY, no device"
measure "without bindings" none
measure "with a binding" bind
