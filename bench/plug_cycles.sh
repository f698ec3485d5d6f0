#!/usr/bin/env bash
# Plugs the emulated keyboard out and in again many times while the program runs, and checks that
# the program does not grow: resident memory and open file descriptors after the last cycle must be
# within 5 % (growth) of what they were after cycle 50. Threads are shown beside them.
# One cycle: `nk7x-sim ctl unplug`, wait until the program has closed every connection it had to
# the keyboard, `nk7x-sim ctl plug`, wait until the keyboard page is filled again (the page's
# "keyboard page filled in N ms" debug line). Every wait is bounded; a cycle that times out fails.
# Usage: bench/plug_cycles.sh [BIN] [CYCLES]   (BIN: folder holding nk7x and nk7x-sim, default
# build/bin; CYCLES: default $CYCLES or 1000). NK7X_PLUG_TIMEOUT: seconds per wait (default 10);
# NK7X_PLUG_VERBOSE=1 prints every cycle's times.
# Exits 1 when a limit is exceeded, 2 when the bench itself could not run to its end.
set -euo pipefail

bin=${1:-build/bin}
cycles=${2:-${CYCLES:-1000}}
timeout_s=${NK7X_PLUG_TIMEOUT:-10}
limit_pct=5
app="$bin/nk7x"
sim="$bin/nk7x-sim"
name=bench

die() { echo "plug_cycles: $*" >&2; exit 2; }
[ -x "$app" ] || die "$app is missing; build first"
[ -x "$sim" ] || die "$sim is missing; build first"
[[ $cycles =~ ^[0-9]+$ ]] && [ "$cycles" -ge 2 ] || die "CYCLES must be a whole number of at least 2, not '$cycles'"
command -v ss >/dev/null || die "ss (iproute2) is needed to see the program's connections to the keyboard"
# The early sample is taken after cycle 50; a short run compares against its middle instead.
base=$((cycles > 50 ? 50 : cycles / 2))

work=$(mktemp -d "${TMPDIR:-/tmp}/nk7x-plug-XXXXXX")
chmod 700 "$work"
export NK7X_SIM_DIR="$work/sim"
mkdir -m 700 "$NK7X_SIM_DIR"
sock="$NK7X_SIM_DIR/$name-mi01.sock"
# A private copy of the emulator: `ctl` runs it a thousand times and a rebuild must not replace it
# under a running bench.
cp "$sim" "$work/nk7x-sim"
sim="$work/nk7x-sim"
log="$work/debug.log"
pid=
sim_pid=
# A hung or stopped process must not keep the bench from ending: SIGKILL after 5 s.
stop() {
  [ -n "$1" ] && kill -0 "$1" 2>/dev/null || return 0
  kill -TERM "$1" 2>/dev/null || true
  kill -CONT "$1" 2>/dev/null || true
  for _ in $(seq 1 100); do
    # An exited child stays a zombie until waited for.
    [ "$(awk '{ sub(/^.*\) /, ""); print $1 }' "/proc/$1/stat" 2>/dev/null)" = Z ] && break
    kill -0 "$1" 2>/dev/null || break
    sleep 0.05
  done
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
cleanup() {
  stop "$pid"
  stop "$sim_pid"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Without a process per call: the waits below ask for the time every few milliseconds.
now_ms() { local t=${EPOCHREALTIME/[.,]/}; echo $((t / 1000)); }
deadline() { echo $(($(now_ms) + timeout_s * 1000)); }

# Shows what the program said before a failure, then stops with $1 as the reason.
fail_run() {
  echo "plug_cycles: $1" >&2
  if [ -s "$work/app.err" ]; then
    echo "--- program stderr (last lines)" >&2
    tail -n 20 "$work/app.err" >&2
  fi
  if [ -s "$log" ]; then
    echo "--- program debug log (last lines)" >&2
    tail -n 20 "$log" >&2
  fi
  exit 2
}
alive() { kill -0 "$pid" 2>/dev/null || fail_run "the program has exited (cycle $cycle)"; }

ctl() {
  local answer
  answer=$("$sim" ctl --name "$name" "$@" 2>&1) || fail_run "nk7x-sim ctl $* (cycle $cycle): $answer"
}

# Socket inodes of the program's ends of its connections to the emulated interface: the peers of
# the emulator's accepted sockets, which carry the interface socket's name.
held_sockets() {
  local peers p
  peers=$(ss -xaH 2>/dev/null | awk -v s="$sock" '$5 == s && $2 != "LISTEN" { print $8 }')
  for p in $peers; do
    [ -e "/proc/$pid/fd" ] || return 0
    if find "/proc/$pid/fd" -maxdepth 1 -lname "socket:\[$p\]" 2>/dev/null | grep -q .; then
      echo "$p"
    fi
  done
}

# Sockets still open in the program out of the list $1 (the emulator's side is gone after unplug,
# so the list is taken before unplugging).
still_open() {
  local links n=0 p
  links=$(find "/proc/$pid/fd" -maxdepth 1 -type l -printf '%l\n' 2>/dev/null)
  for p in $1; do
    grep -qxF "socket:[$p]" <<<"$links" && n=$((n + 1))
  done
  echo "$n"
}

filled_ms() { { grep -m1 -o 'keyboard page filled in [0-9]* ms' "$log" 2>/dev/null || true; } | awk '{ print $5 }'; }

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status"; }
# Resident memory split: heap and other anonymous memory, mapped files, shared memory.
rss_parts() { awk '/^Rss(Anon|File|Shmem):/ { printf "%s %s kB  ", $1, $2 }' "/proc/$pid/status"; }
threads() { awk '/^Threads:/ { print $2 }' "/proc/$pid/status"; }
fd_count() { find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l; }
# Open descriptors by kind: socket, pipe, anon_inode:[eventfd] and the like, or "file".
fd_kinds() {
  find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 -printf '%l\n' 2>/dev/null |
    sed -E 's/^(socket|pipe):\[[0-9]+\]$/\1/; s/^\/.*/file/' | sort | uniq -c |
    awk '{ printf "%s=%s ", $2, $1 }'
}

# Figures once the page has settled after a fill; $1 names them.
sample() {
  sleep 0.5
  alive
  printf -v "rss_$1" '%s' "$(rss_kb)"
  printf -v "fds_$1" '%s' "$(fd_count)"
  printf -v "thr_$1" '%s' "$(threads)"
  printf -v "kinds_$1" '%s' "$(fd_kinds)"
  printf -v "parts_$1" '%s' "$(rss_parts)"
  find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 -printf '%f -> %l\n' 2>/dev/null | sort >"$work/fds-$1.txt"
}

# --- the emulator, then the program with the keyboard plugged in ---
cycle=0
"$sim" --name "$name" >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 1 200); do
  [ -S "$sock" ] && break
  sleep 0.01
done
[ -S "$sock" ] || { cat "$work/sim.log" >&2; die "the emulator did not plug in"; }

: >"$log"
env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config" \
    XDG_DATA_HOME="$work/data" NK7X_PRINT_SHOWN=1 NK7X_DEBUG_FILE="$log" \
    "$app" >>"$work/app.out" 2>"$work/app.err" &
pid=$!
end=$(deadline)
until grep -q '^NK7X_SHOWN ' "$work/app.out" 2>/dev/null; do
  alive
  [ "$(now_ms)" -lt "$end" ] || fail_run "the window was not shown within $timeout_s s"
  sleep 0.05
done
end=$(deadline)
until [ -n "$(filled_ms)" ]; do
  alive
  [ "$(now_ms)" -lt "$end" ] || fail_run "the keyboard page was not filled within $timeout_s s of start-up"
  sleep 0.02
done

echo "plug/unplug cycles: $cycles, the emulated keyboard; each wait bounded to $timeout_s s"
echo "limits: resident memory and open fds after $cycles cycles within +$limit_pct % of after $base cycles"

# --- the cycles ---
slow_fill=0 slow_fill_cycle=0 slow_plug=0 slow_plug_cycle=0 slow_letgo=0 slow_letgo_cycle=0
t_start=$(now_ms)
for cycle in $(seq 1 "$cycles"); do
  # The program's connections, taken while both ends exist. It may be between two connections of
  # a re-opening, so give it a moment to hold at least one.
  end=$(deadline)
  held=$(held_sockets)
  while [ -z "$held" ]; do
    alive
    [ "$(now_ms)" -lt "$end" ] ||
      fail_run "cycle $cycle: the program holds no connection to the keyboard before unplugging"
    sleep 0.01
    held=$(held_sockets)
  done

  t0=$(now_ms)
  ctl unplug
  end=$(deadline)
  until [ "$(still_open "$held")" -eq 0 ]; do
    alive
    [ "$(now_ms)" -lt "$end" ] ||
      fail_run "cycle $cycle: $(still_open "$held") connection(s) to the unplugged keyboard still open after $timeout_s s"
    sleep 0.01
  done
  letgo=$(($(now_ms) - t0))
  [ "$letgo" -gt "$slow_letgo" ] && slow_letgo=$letgo slow_letgo_cycle=$cycle

  # From here on the log holds this cycle's lines only, so it never grows past one cycle.
  : >"$log"
  t0=$(now_ms)
  ctl plug
  end=$(deadline)
  took=
  until [ -n "$took" ]; do
    alive
    [ "$(now_ms)" -lt "$end" ] || fail_run "cycle $cycle: the keyboard page was not filled within $timeout_s s of plugging in"
    sleep 0.01
    took=$(filled_ms)
  done
  plug_ms=$(($(now_ms) - t0))
  [ "$took" -gt "$slow_fill" ] && slow_fill=$took slow_fill_cycle=$cycle
  [ "$plug_ms" -gt "$slow_plug" ] && slow_plug=$plug_ms slow_plug_cycle=$cycle

  [ -z "${NK7X_PLUG_VERBOSE:-}" ] ||
    echo "cycle $cycle: $(wc -w <<<"$held") connection(s) closed ${letgo} ms after unplug, page filled ${plug_ms} ms after plug (page: $took ms)" >&2
  if [ "$cycle" -eq "$base" ]; then
    t_pause=$(now_ms)
    sample early
    t_start=$((t_start + $(now_ms) - t_pause)) # the sample's settling time is not cycling
  fi
  if [ $((cycle % 100)) -eq 0 ] && [ "$cycle" -ne "$cycles" ]; then
    echo "  ... $cycle cycles: rss $(rss_kb) kB, $(fd_count) fds, $(threads) threads" >&2
  fi
done
elapsed=$(($(now_ms) - t_start))
sample late

# --- the figures ---
pct() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%+.2f", a ? (b - a) * 100 / a : 0 }'; }
verdict() { awk -v p="$1" -v l="$limit_pct" 'BEGIN { print (p <= l ? "PASS" : "FAIL") }'; }
rss_pct=$(pct "$rss_early" "$rss_late")
fds_pct=$(pct "$fds_early" "$fds_late")
thr_pct=$(pct "$thr_early" "$thr_late")
rss_v=$(verdict "$rss_pct")
fds_v=$(verdict "$fds_pct")

echo
printf '%-18s %14s %14s %10s  %s\n' figure "after $base" "after $cycles" change result
printf '%-18s %14s %14s %9s%%  %s\n' "resident memory kB" "$rss_early" "$rss_late" "$rss_pct" "$rss_v (limit +$limit_pct %)"
printf '%-18s %14s %14s %9s%%  %s\n' "open fds" "$fds_early" "$fds_late" "$fds_pct" "$fds_v (limit +$limit_pct %)"
printf '%-18s %14s %14s %9s%%  %s\n' "threads" "$thr_early" "$thr_late" "$thr_pct" "(no limit)"
echo
awk -v n="$cycles" -v ms="$elapsed" 'BEGIN { printf "cycle rate: %.2f cycles/s (%d cycles in %.1f s)\n", n * 1000 / ms, n, ms / 1000 }'
echo "slowest re-fill, connect to page filled (the page's figure): $slow_fill ms (cycle $slow_fill_cycle)"
echo "slowest plug to page filled (seen here):                     $slow_plug ms (cycle $slow_plug_cycle)"
echo "slowest unplug to the program's connections closed:          $slow_letgo ms (cycle $slow_letgo_cycle)"

status=0
if [ "$rss_v" = FAIL ] || [ "$fds_v" = FAIL ]; then
  status=1
fi
if [ "$rss_v" = FAIL ]; then
  echo "memory after $base:   $parts_early"
  echo "memory after $cycles: $parts_late"
fi
if [ "$fds_early" != "$fds_late" ]; then
  echo "open fds by kind after $base:   $kinds_early"
  echo "open fds by kind after $cycles: $kinds_late"
fi
if [ "$fds_v" = FAIL ]; then
  # The keyboard's own sockets are new every cycle and show here too.
  echo "descriptors open after $cycles cycles and not after $base (number -> target):"
  comm -13 "$work/fds-early.txt" "$work/fds-late.txt" | head -n 40
fi
exit "$status"
