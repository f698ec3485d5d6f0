#!/usr/bin/env bash
# Demonstration without hardware: plugs in an emulated keyboard in a private folder, shows what the
# command-line tool sees of it (interfaces, device information, key table), then runs the
# application against it (when it was built), which shows the keyboard's page, and unplugs the
# keyboard once the application ends.
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
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$NK7X_SIM_DIR"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$bin/nk7x-sim" --name demo >"$NK7X_SIM_DIR/sim.log" 2>&1 &
sim_pid=$!

# The socket is created last, so once it is there the device is fully plugged in.
for _ in $(seq 1 100); do
  [ -S "$NK7X_SIM_DIR/demo-mi01.sock" ] && break
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    echo "run-demo: the emulator stopped:" >&2
    cat "$NK7X_SIM_DIR/sim.log" >&2
    exit 1
  fi
  sleep 0.05
done
if [ ! -S "$NK7X_SIM_DIR/demo-mi01.sock" ]; then
  echo "run-demo: the emulator did not plug in within 5 s" >&2
  exit 1
fi

echo "== nk7x-cli list"
"$bin/nk7x-cli" list
echo
echo "== nk7x-cli info"
"$bin/nk7x-cli" info
echo
echo "== nk7x-cli keytable"
"$bin/nk7x-cli" keytable

if [ -x "$bin/nk7x" ]; then
  echo
  echo "== nk7x (the window hides to the tray on close; end it with the tray menu's Exit or Ctrl+C)"
  echo "The keyboard page opens as soon as the keyboard is found. From another shell, pull the"
  echo "emulated keyboard out and put it back to watch the page go and return:"
  echo "  NK7X_SIM_DIR=$NK7X_SIM_DIR $bin/nk7x-sim ctl --name demo unplug"
  echo "  NK7X_SIM_DIR=$NK7X_SIM_DIR $bin/nk7x-sim ctl --name demo plug"
  "$bin/nk7x" || true
fi
