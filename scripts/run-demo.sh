#!/usr/bin/env bash
# Demonstration without hardware: plugs in an emulated keyboard and an emulated mouse in a private
# folder, shows what the command-line tool sees (interfaces, the keyboard's device information and
# key table), then runs the application against them (when it was built), which shows their pages,
# and unplugs both once the application ends.
# Usage: scripts/run-demo.sh BIN   (BIN: the folder holding nk7x-sim and nk7x-cli, e.g. build/bin)
set -euo pipefail

bin=${1:-}
if [ -z "$bin" ]; then
  echo "usage: $0 BIN" >&2
  exit 2
fi
for tool in nk7x-sim nk7x-cli; do
  if [ ! -x "$bin/$tool" ]; then
    echo "run-demo: $bin/$tool is missing; build first (make build)" >&2
    exit 1
  fi
done

export NK7X_SIM_DIR
NK7X_SIM_DIR=$(mktemp -d "${TMPDIR:-/tmp}/nk7x-demo-XXXXXX")
sim_pid=
mouse_pid=
cleanup() {
  for p in $sim_pid $mouse_pid; do
    if kill -0 "$p" 2>/dev/null; then
      kill -TERM "$p" 2>/dev/null || true
      wait "$p" 2>/dev/null || true
    fi
  done
  rm -rf "$NK7X_SIM_DIR"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$bin/nk7x-sim" --name demo >"$NK7X_SIM_DIR/sim.log" 2>&1 &
sim_pid=$!
# A mouse too: it brings its rows file, so the program lists it without any set-up.
"$bin/nk7x-sim" --kind mouse --name demomouse >"$NK7X_SIM_DIR/mouse.log" 2>&1 &
mouse_pid=$!

# The socket is created last, so once it is there the device is fully plugged in.
for name in demo demomouse; do
  for _ in $(seq 1 100); do
    [ -S "$NK7X_SIM_DIR/$name-mi01.sock" ] && break
    if ! kill -0 "$sim_pid" 2>/dev/null || ! kill -0 "$mouse_pid" 2>/dev/null; then
      echo "run-demo: an emulator stopped:" >&2
      cat "$NK7X_SIM_DIR/sim.log" "$NK7X_SIM_DIR/mouse.log" >&2
      exit 1
    fi
    sleep 0.05
  done
  if [ ! -S "$NK7X_SIM_DIR/$name-mi01.sock" ]; then
    echo "run-demo: the emulator $name did not plug in within 5 s" >&2
    exit 1
  fi
done

echo "== nk7x-cli list"
"$bin/nk7x-cli" list
echo
echo "== nk7x-cli info (the first device listed)"
"$bin/nk7x-cli" info
echo
echo "== nk7x-cli keytable"
"$bin/nk7x-cli" keytable

if [ -x "$bin/nk7x" ]; then
  echo
  echo "== nk7x (the window hides to the tray on close; end it with the tray menu's Exit or Ctrl+C)"
  echo "The keyboard and mouse pages open as soon as the devices are found. From another shell,"
  echo "pull the emulated keyboard out and put it back to watch its page go and return:"
  echo "  NK7X_SIM_DIR=$NK7X_SIM_DIR $bin/nk7x-sim ctl --name demo unplug"
  echo "  NK7X_SIM_DIR=$NK7X_SIM_DIR $bin/nk7x-sim ctl --name demo plug"
  echo "or drive it as a script would; the window shows the change:"
  echo "  $bin/nk7x-cli --kind keyboard light static --color FF8000"
  "$bin/nk7x" || true
fi
