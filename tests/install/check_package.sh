#!/usr/bin/env bash
# Makes the Debian package of the build (CPack, into a temporary folder) and checks it as dpkg would
# take it: the promised files under the build's prefix and nothing outside it, owned by root and not
# writable by others, dependencies computed from the binaries, maintainer scripts that are present,
# executable and tolerant of a system without udev, and a packaged program that runs.
# Usage: check_package.sh BUILD_DIR [CPACK]
set -uo pipefail

build=$(cd "${1:?build folder}" && pwd)
cpack=${2:-cpack}

failures=0
fail() {
  echo "check_package: FAIL: $*" >&2
  failures=$((failures + 1))
}
die() {
  echo "check_package: FAIL: $*" >&2
  exit 1
}
need() {
  command -v "$1" >/dev/null 2>&1 || die "$1 is missing (Debian package $2; run scripts/install-deps.sh)"
}
need "$cpack" cmake
need dpkg-deb dpkg
need dpkg-shlibdeps dpkg-dev
need readelf binutils

work=$(mktemp -d "${TMPDIR:-/tmp}/nk7x-package-XXXXXX")
trap 'rm -rf "$work"' EXIT

started=$(date +%s%N)
if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  die "cpack failed"
fi
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || die "cpack made no single .deb: ${debs[*]}"
deb=${debs[0]}
made=$(date +%s%N)

prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$prefix" ] && [ -n "$version" ] || die "no prefix or version in $build/CMakeCache.txt"

# ---- contents -------------------------------------------------------------------------------------
dpkg-deb -c "$deb" >"$work/contents.txt" || die "dpkg-deb -c cannot read $deb"
# Lines are "mode owner size date time ./path"; the paths without their leading ".".
awk '{ print substr($6, 2) }' "$work/contents.txt" >"$work/paths.txt"
listed() { grep -q -x -F -- "$1" "$work/paths.txt"; }
promised=(
  "$prefix/bin/nk7x" "$prefix/bin/nk7x-cli" "$prefix/bin/nk7x-sim"
  "$prefix/lib/udev/rules.d/70-nk7x.rules"
  "$prefix/share/applications/nk7x.desktop"
  "$prefix/share/icons/hicolor/scalable/apps/nk7x.svg"
  "$prefix/share/man/man1/nk7x.1.gz" "$prefix/share/man/man1/nk7x-cli.1.gz" "$prefix/share/man/man1/nk7x-sim.1.gz"
  "$prefix/share/bash-completion/completions/nk7x-cli"
  "$prefix/share/nk7x/DefaultData/" "$prefix/share/nk7x/DefaultData/Language.config"
  "$prefix/share/nk7x/skin/main.ui" "$prefix/share/nk7x/Font/"
  "$prefix/share/nk7x/kwin/nk7x-focus/contents/code/main.js"
  "$prefix/share/gnome-shell/extensions/nk7x-focus@norlakeys/extension.js"
)
for size in 16 22 24 32 48 64 128 256; do
  promised+=("$prefix/share/icons/hicolor/${size}x${size}/apps/nk7x.png")
done
for f in "${promised[@]}"; do
  listed "$f" || fail "not in the package: $f"
done
grep -q -E "^$prefix/share/metainfo/[^/]+\.metainfo\.xml\$" "$work/paths.txt" || fail "no metainfo in the package"

# Nothing outside the prefix but the folders leading to it: the package brings no file of the
# administrator's (/etc) and writes nowhere else.
while IFS= read -r path; do
  case $path in
    "$prefix" | "$prefix"/*) ;;
    */) [[ "$prefix/" == "$path"* ]] || fail "outside $prefix: $path" ;;
    *) fail "outside $prefix: $path" ;;
  esac
done <"$work/paths.txt"

others=$(awk '$2 != "root/root"' "$work/contents.txt")
[ -z "$others" ] || fail "entries not owned by root: $(head -3 <<<"$others")"
writable=$(awk 'substr($1, 9, 1) == "w"' "$work/contents.txt")
[ -z "$writable" ] || fail "entries writable by others: $(head -3 <<<"$writable")"
rule_mode=$(awk -v p=".$prefix/lib/udev/rules.d/70-nk7x.rules" '$6 == p { print $1 }' "$work/contents.txt")
[ "$rule_mode" = "-rw-r--r--" ] || fail "the udev rule has mode '$rule_mode', not -rw-r--r--"

# ---- control --------------------------------------------------------------------------------------
[ "$(dpkg-deb -f "$deb" Package)" = nk7x ] || fail "the package is not named nk7x"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the package's version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
# dpkg-shlibdeps names the libraries' packages, with versions.
for lib in libc6 libqt6widgets6 libqt6svg6 libjsoncpp libudev1 libcurl; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
grep -q '(>= ' <<<"$depends" || fail "Depends carries no versions (not from dpkg-shlibdeps): $depends"

dpkg-deb -e "$deb" "$work/control" || die "dpkg-deb -e cannot extract the control files"
for script in postinst postrm; do
  f="$work/control/$script"
  if [ ! -f "$f" ]; then
    fail "no $script in the package"
    continue
  fi
  [ "$(stat -c %a "$f")" = 755 ] || fail "$script has mode $(stat -c %a "$f"), not 755"
  sh -n "$f" || fail "$script is not valid sh"
done

# The maintainer scripts against a udevadm that records its calls and succeeds, then fails: the
# installation and removal succeed either way, and udev is asked to reload its rules and re-trigger
# the hidraw nodes only where it runs (/run/udev), and not in an upgrade's removal step.
mkdir -p "$work/fakebin"
printf '#!/bin/sh\necho "$*" >>"%s/udevadm.calls"\nexec "$(cat "%s/udevadm.result")"\n' "$work" "$work" \
  >"$work/fakebin/udevadm"
chmod 755 "$work/fakebin/udevadm"
for step in "postinst configure" "postrm remove" "postrm purge" "postrm upgrade"; do
  read -r script arg <<<"$step"
  [ -f "$work/control/$script" ] || continue
  for result in true false; do
    echo "$result" >"$work/udevadm.result"
    : >"$work/udevadm.calls"
    PATH="$work/fakebin:$PATH" sh "$work/control/$script" "$arg" 0.0.1 >"$work/script.log" 2>&1 ||
      fail "$script $arg fails when udevadm exits with $result: $(cat "$work/script.log")"
    calls=$(tr '\n' ';' <"$work/udevadm.calls" 2>/dev/null)
    expected=
    if [ -d /run/udev ] && [ "$arg" != upgrade ]; then
      expected="control --reload-rules;"
      [ $result = true ] && expected+="trigger --subsystem-match=hidraw;"
    fi
    [ "$calls" = "$expected" ] ||
      fail "$script $arg (udevadm: $result) called udevadm '$calls', expected '$expected'"
  done
done

# ---- the packaged programs ------------------------------------------------------------------------
dpkg-deb -x "$deb" "$work/root" || die "dpkg-deb -x cannot unpack the package"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" \
  "$work/root$prefix/bin/nk7x" --version 2>&1)
[ "$out" = "nk7x $version" ] || fail "the packaged nk7x --version printed: $out"
for tool in nk7x-cli nk7x-sim; do
  out=$("$work/root$prefix/bin/$tool" --help 2>&1) || fail "the packaged $tool --help failed: $out"
done
# Stripped: the debugging information of a RelWithDebInfo build stays out of the package.
for program in nk7x nk7x-cli nk7x-sim; do
  if readelf -S "$work/root$prefix/bin/$program" 2>/dev/null | grep -q '\.debug_info'; then
    fail "$program is packaged with its debugging information"
  fi
done

now=$(date +%s%N)
if [ $failures -gt 0 ]; then
  echo "check_package: $failures failure(s)" >&2
  exit 1
fi
echo "check_package: $(basename "$deb") ($(stat -c %s "$deb") bytes) made in $(((made - started) / 1000000)) ms," \
  "checked in $(((now - made) / 1000000)) ms; Depends: $depends"
