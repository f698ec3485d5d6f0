#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR under /usr and checks the tree as a user, the desktop
# and udev would meet it: every promised file is there, the data is complete, the installed programs
# run from the tree (the program against the emulator, with the installed data), the desktop entry,
# the AppStream metainfo and the manual pages pass their validators, the completion completes, and
# the udev rule is not writable by others.
# Usage: check_install.sh BUILD_DIR SOURCE_DIR
set -uo pipefail

build=$(cd "${1:?build folder}" && pwd)
source_dir=$(cd "${2:?source folder}" && pwd)
prefix=/usr

failures=0
fail() {
  echo "check_install: FAIL: $*" >&2
  failures=$((failures + 1))
}
die() {
  echo "check_install: FAIL: $*" >&2
  exit 1
}

# A missing validator is a failure with the package to install, never a silent skip.
need() {
  command -v "$1" >/dev/null 2>&1 || die "$1 is missing (Debian package $2; run scripts/install-deps.sh)"
}
need cmake cmake
need desktop-file-validate desktop-file-utils
need appstreamcli appstream
need man man-db
need groff groff-base
need readelf binutils
[ -r /usr/share/bash-completion/bash_completion ] ||
  die "bash-completion is missing (Debian package bash-completion; run scripts/install-deps.sh)"

work=$(mktemp -d "${TMPDIR:-/tmp}/nk7x-install-XXXXXX")
chmod 700 "$work"
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# ---- the install ----------------------------------------------------------------------------------
started=$(date +%s%N)
if ! DESTDIR="$work/root" cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  die "cmake --install failed"
fi
root="$work/root$prefix"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || die "no project version in $build/CMakeCache.txt"

metainfos=("$root"/share/metainfo/*.metainfo.xml)
[ ${#metainfos[@]} -eq 1 ] && [ -f "${metainfos[0]}" ] || fail "expected one metainfo file in share/metainfo"
metainfo=${metainfos[0]}

promised=(
  bin/nk7x bin/nk7x-cli bin/nk7x-sim
  share/nk7x/DefaultData/Language.config share/nk7x/skin/main.ui share/nk7x/Font
  lib/udev/rules.d/70-nk7x.rules
  share/applications/nk7x.desktop
  share/icons/hicolor/scalable/apps/nk7x.svg
  share/man/man1/nk7x.1.gz share/man/man1/nk7x-cli.1.gz share/man/man1/nk7x-sim.1.gz
  share/bash-completion/completions/nk7x-cli
  share/nk7x/kwin/nk7x-focus/metadata.json share/nk7x/kwin/nk7x-focus/contents/code/main.js
  share/gnome-shell/extensions/nk7x-focus@norlakeys/metadata.json
  share/gnome-shell/extensions/nk7x-focus@norlakeys/extension.js
)
icon_sizes=(16 22 24 32 48 64 128 256)
for size in "${icon_sizes[@]}"; do
  promised+=("share/icons/hicolor/${size}x${size}/apps/nk7x.png")
done
for f in "${promised[@]}"; do
  [ -e "$root/$f" ] || fail "missing from the install tree: $prefix/$f"
done
for program in nk7x nk7x-cli nk7x-sim; do
  [ -x "$root/bin/$program" ] || fail "$prefix/bin/$program is not executable"
  # A run path into the build tree would make the installed program load the build's libraries.
  if readelf -d "$root/bin/$program" 2>/dev/null | grep -E '\((RPATH|RUNPATH)\)' | grep -q "$build"; then
    fail "$prefix/bin/$program has a run path into the build tree"
  fi
done
# Nothing installed is a link back to the build or source tree.
while IFS= read -r link; do
  fail "installed as a link: ${link#"$work/root"} -> $(readlink "$link")"
done < <(find "$work/root" -type l)

# The data is the source's, file for file (the skin's notes for developers stay behind).
for dir in DefaultData skin Font; do
  if ! diff -r -x README.md "$source_dir/$dir" "$root/share/nk7x/$dir" >"$work/diff.txt" 2>&1; then
    fail "share/nk7x/$dir differs from the source's $dir:"
    head -20 "$work/diff.txt" >&2
  fi
done

# The desktop side of profiles that follow the application: the KWin script the program loads from
# its data folder, the shell extension where GNOME Shell looks; each as shipped. GNOME Shell loads an
# extension only from a folder named after its uuid, and the KWin script's id is the plugin name the
# program loads it under (its folder's name).
for pair in "packaging/kwin/nk7x-focus:share/nk7x/kwin/nk7x-focus" \
  "packaging/gnome-shell/nk7x-focus@norlakeys:share/gnome-shell/extensions/nk7x-focus@norlakeys"; do
  if ! diff -r "$source_dir/${pair%%:*}" "$root/${pair#*:}" >"$work/diff.txt" 2>&1; then
    fail "${pair#*:} differs from the source's ${pair%%:*}:"
    head -20 "$work/diff.txt" >&2
  fi
done
extension="$root/share/gnome-shell/extensions/nk7x-focus@norlakeys"
if [ -f "$extension/metadata.json" ]; then
  grep -q '"uuid": *"nk7x-focus@norlakeys"' "$extension/metadata.json" ||
    fail "the shell extension's metadata.json does not name its folder's uuid nk7x-focus@norlakeys"
fi
kwin_script="$root/share/nk7x/kwin/nk7x-focus"
if [ -f "$kwin_script/metadata.json" ]; then
  grep -q '"Id": *"nk7x-focus"' "$kwin_script/metadata.json" ||
    fail "the KWin script's metadata.json does not carry the id nk7x-focus"
fi

# PNG icons of the size their folder names (width and height from the IHDR chunk).
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'; }
for size in "${icon_sizes[@]}"; do
  png="$root/share/icons/hicolor/${size}x${size}/apps/nk7x.png"
  [ -f "$png" ] || continue
  got=$(png_size "$png")
  [ "$got" = "${size}x${size}" ] || fail "${png#"$work/root"} is $got, not ${size}x${size}"
done

# ---- permissions ----------------------------------------------------------------------------------
rule="$root/lib/udev/rules.d/70-nk7x.rules"
if [ -f "$rule" ]; then
  mode=$(stat -c %a "$rule")
  [ "$mode" = 644 ] || fail "the udev rule has mode $mode, not 644"
fi
while IFS= read -r writable; do
  fail "writable by others: ${writable#"$work/root"}"
done < <(find "$work/root" -perm -o+w ! -type l)

# ---- the installed programs -----------------------------------------------------------------------
# --version and --help are answered before the toolkit starts: with no display and the X11 backend
# the toolkit would abort.
for platform in offscreen xcb; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=$platform XDG_RUNTIME_DIR="$work" \
    "$root/bin/nk7x" --version 2>"$work/version.err")
  status=$?
  [ $status -eq 0 ] || fail "nk7x --version (QT_QPA_PLATFORM=$platform) exited with $status: $(cat "$work/version.err")"
  [ "$out" = "nk7x $version" ] || fail "nk7x --version printed '$out', not 'nk7x $version'"
done
out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$root/bin/nk7x" --help 2>&1)
status=$?
[ $status -eq 0 ] || fail "nk7x --help exited with $status"
for option in --version --help --hidden --screenshot=FILE; do
  grep -q -- "$option" <<<"$out" || fail "nk7x --help does not mention $option"
done
[ -e "$work/Norla Keys NK-7X.lock" ] && fail "nk7x --version took the single-instance lock"

# The emulated keyboard, from the installed emulator. Nothing points the tools at their data: an
# installed tree finds it beside itself (../share/nk7x), wherever the tree lies.
export NK7X_SIM_DIR="$work/sim"
unset NK7X_PROGRAM_DIR
"$root/bin/nk7x-sim" --name inst >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 1 200); do
  [ -S "$NK7X_SIM_DIR/inst-mi01.sock" ] && break
  kill -0 "$sim_pid" 2>/dev/null || break
  sleep 0.05
done
[ -S "$NK7X_SIM_DIR/inst-mi01.sock" ] || {
  cat "$work/sim.log" >&2
  die "the installed nk7x-sim did not plug in its keyboard within 10 s"
}

out=$("$root/bin/nk7x-cli" list 2>&1)
status=$?
[ $status -eq 0 ] || fail "nk7x-cli list exited with $status: $out"
grep -q '^\*.*sim#vid_0c45&pid_0820' <<<"$out" || fail "nk7x-cli list does not mark the emulated keyboard: $out"
out=$("$root/bin/nk7x-cli" info 2>&1) || fail "nk7x-cli info failed: $out"

# The program with the emulated keyboard: its window is shown with the keyboard's page, built from
# the installed skin and default data, and saved. A file it cannot find under the data folder
# shows in its debug lines.
env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config" \
  XDG_DATA_HOME="$work/data" NK7X_DEBUG=1 DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus \
  DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/system_bus \
  timeout 60 "$root/bin/nk7x" --screenshot="$work/window.png" >"$work/app.log" 2>&1
status=$?
[ $status -eq 0 ] || fail "the installed nk7x exited with $status: $(tail -5 "$work/app.log")"
[ -s "$work/window.png" ] || fail "the installed nk7x saved no picture of its window"
if grep -E -i "missing|cannot open|no such file|$root/share/nk7x" "$work/app.log" >"$work/app-missing.txt"; then
  fail "the installed nk7x misses data files:"
  head -10 "$work/app-missing.txt" >&2
fi

# ---- validators -----------------------------------------------------------------------------------
desktop="$root/share/applications/nk7x.desktop"
if [ -f "$desktop" ]; then
  out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate: $out"
  exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
  [ -x "$root/bin/$exec_program" ] || fail "the desktop entry starts '$exec_program', which is not in $prefix/bin"
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  [ -f "$root/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the desktop entry's icon '$icon' is not installed"
fi
if [ -f "$metainfo" ]; then
  # Pedantic remarks and hints pass; warnings and errors fail.
  out=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1)
  if grep -E '^ *[EW]: ' <<<"$out" >/dev/null || ! grep -q 'Validation was successful' <<<"$out"; then
    fail "appstreamcli validate: $out"
  fi
  # The tree as a software centre reads it: metainfo, desktop entry and icon together.
  out=$(appstreamcli validate-tree --no-net --pedantic "$work/root" 2>&1)
  if grep -E '^ *[EW]: ' <<<"$out" >/dev/null || ! grep -q 'Validation was successful' <<<"$out"; then
    fail "appstreamcli validate-tree: $out"
  fi
  launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
  [ -f "$root/share/applications/$launchable" ] || fail "the metainfo launches '$launchable', which is not installed"
  id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$metainfo")
  [ "$(basename "$metainfo")" = "$id.metainfo.xml" ] || fail "the metainfo file is not named after its ID '$id'"
fi

for page in nk7x nk7x-cli nk7x-sim; do
  file="$root/share/man/man1/$page.1.gz"
  [ -f "$file" ] || continue
  out=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$file" 2>"$work/man.err")
  status=$?
  [ $status -eq 0 ] || fail "man -l $page.1.gz exited with $status"
  [ -s "$work/man.err" ] && fail "man --warnings -l $page.1.gz: $(cat "$work/man.err")"
  grep -q "^NAME" <<<"$out" && grep -q "^ *$page - " <<<"$out" || fail "$page.1.gz has no NAME section for $page"
  grep -q "nk7x $version" <<<"$out" || fail "$page.1.gz does not carry the version $version"
done

# Every option and command a program's --help names is described in its manual page (rendered
# wide, so that no word is hyphenated across lines).
wide_page() { MANWIDTH=1000 LC_ALL=C.UTF-8 man -l "$root/share/man/man1/$1.1.gz" 2>/dev/null; }
documented() { # PAGE TEXT WORD...: each WORD is in the page as TEXT renders it
  local page=$1 text=$2 word
  shift 2
  for word in "$@"; do
    grep -q -F -e "$word" <<<"$text" || fail "$page.1 does not describe '${word#"${word%%[! ]*}"}', which the program's --help names"
  done
}
options_of() { grep -o -E -e '--[a-z][a-z0-9-]*' | sort -u; }
for page in nk7x nk7x-cli nk7x-sim; do
  [ -f "$root/share/man/man1/$page.1.gz" ] || continue
  text=$(wide_page "$page")
  help=$("$root/bin/$page" --help 2>&1)
  mapfile -t words < <(options_of <<<"$help")
  documented "$page" "$text" "${words[@]}"
  case $page in
    nk7x-cli)
      # The commands: the first word of the usage lines indented by two blanks; in the page, the
      # start of a tagged paragraph.
      mapfile -t words < <(sed -n -E 's/^  ([a-z][a-z-]+)( .*)?$/       \1/p' <<<"$help" | sort -u)
      documented "$page" "$text" "${words[@]}"
      ;;
    nk7x-sim)
      ctl=$("$root/bin/nk7x-sim" ctl --help 2>&1)
      mapfile -t words < <(options_of <<<"$ctl")
      documented "$page" "$text" "${words[@]}"
      # The requests: the lower-case words of the request column.
      mapfile -t words < <(sed -n '/^Sends one request/,$p' <<<"$ctl" | tail -n +3 | cut -c1-25 |
        grep -o -E '(^| )[a-z]+' | sed 's/^ //' | sort -u | sed 's/^/ /')
      documented "$page" "$text" "${words[@]}"
      ;;
  esac
done

# ---- completion -----------------------------------------------------------------------------------
# Completes the words given (the last one being completed) and prints the candidates.
complete_words() {
  bash --norc --noprofile -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    _nk7x_cli nk7x-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf "%s\n" "${COMPREPLY[@]}"' _ "$root/share/bash-completion/completions/nk7x-cli" "$@" 2>&1
}
if [ -f "$root/share/bash-completion/completions/nk7x-cli" ]; then
  # Every command the tool's --help names.
  out=$(complete_words nk7x-cli "")
  mapfile -t commands < <("$root/bin/nk7x-cli" --help 2>&1 | sed -n -E 's/^  ([a-z][a-z-]+)( .*)?$/\1/p' | sort -u)
  [ ${#commands[@]} -ge 10 ] || fail "nk7x-cli --help names only ${#commands[@]} commands: ${commands[*]}"
  for command in "${commands[@]}"; do
    grep -qx -- "$command" <<<"$out" || fail "completion of a command lacks $command: $out"
  done
  out=$(complete_words nk7x-cli preview --k)
  [ "$(sort <<<"$out" | tr '\n' ' ')" = "--keys --kind " ] || fail "completion of 'preview --k' gave: $out"
  out=$(complete_words "$root/bin/nk7x-cli" --path "")
  grep -q '^sim#vid_0c45&pid_0820.*inst-mi01.sock$' <<<"$out" || fail "completion of --path does not offer the emulated keyboard: $out"
fi

elapsed=$((($(date +%s%N) - started) / 1000000))
if [ $failures -gt 0 ]; then
  echo "check_install: $failures failure(s)" >&2
  exit 1
fi
echo "check_install: the tree under $prefix is complete and valid (${elapsed} ms)"
