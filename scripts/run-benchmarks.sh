#!/usr/bin/env bash
# Runs every benchmark program in BIN and prints its figures.
set -eu
bin=$1
for b in "$bin"/bench_*; do
  [ -x "$b" ] || continue
  # The bare window is app_cpu.sh's reference and runs until killed: not a benchmark program.
  [ "$(basename "$b")" = bench_bare_window ] && continue
  echo "== $(basename "$b")"
  "$b"
done
# The running program: CPU, memory, start-up and plug-in times, at the window's base size on the
# offscreen platform, then on a 1920x1080 X screen (a larger window) when Xvfb is installed.
here=$(cd "$(dirname "$0")/.." && pwd)
echo "== app_cpu (offscreen)"
bash "$here/bench/app_cpu.sh" "$bin" "${APP_SECONDS:-15}"
if command -v xvfb-run >/dev/null 2>&1; then
  echo "== app_cpu (Xvfb 1920x1080)"
  NK7X_BENCH_DISPLAY=xvfb bash "$here/bench/app_cpu.sh" "$bin" "${APP_SECONDS:-15}"
fi
# Plugging the emulated keyboard out and in again: memory and descriptors must not grow.
echo "== plug_cycles (offscreen, ${PLUG_CYCLES:-200} cycles)"
bash "$here/bench/plug_cycles.sh" "$bin" "${PLUG_CYCLES:-200}"
# The lighting server under a 60 frames/s stream: the program's CPU and each frame's time to the device.
if [ -x "$bin/sdk_stream" ]; then
  echo "== sdk_stream (${SDK_SECONDS:-10} s)"
  "$bin/sdk_stream" "${SDK_SECONDS:-10}"
fi
# Following the application in front: idle CPU without and with the X11 tracking, and focus changes.
echo "== follow_idle (Xvfb, ${FOLLOW_SECONDS:-20} s)"
bash "$here/bench/follow_idle.sh" "$bin" "${FOLLOW_SECONDS:-20}"
