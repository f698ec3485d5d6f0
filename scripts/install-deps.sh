#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; only the missing ones.
# libsystemd-dev gives nk7x-cli its session-bus client, libxcb1-dev the X11 window tracking (profiles
# that follow the application), libglib2.0-bin the tests a bus client of
# their own (gdbus); librsvg2-bin renders the PNG icons; desktop-file-utils, appstream, man-db,
# groff-base and bash-completion check the install tree, dpkg-dev computes the package's dependencies; QEMU,
# Debian's kernel, static busybox, cpio, kmod and udev make the test machine of the kernel tests.
# Node.js and npm (Debian's, when the machine has none) fetch the published lighting client the
# lighting server's tests talk to: the version pinned in tests/app/sdkclient, into the build folder.
# libwayland-dev (with wayland-scanner) builds the window tracking under wlroots-based Wayland
# compositors; sway (headless) and foot, a Wayland terminal whose app id can be set, are what its test
# runs it against.
# at-spi2-core (the accessibility bus) and python3-pyatspi let a real screen-reader client read the
# running program's window in its test.
# Works as root or through sudo; does nothing when everything is present.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
PKGS=(
  build-essential cmake pkg-config ninja-build
  libjsoncpp-dev libudev-dev libevdev-dev libasound2-dev libcurl4-openssl-dev libssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-tools-dev qt6-svg-dev qt6-base-dev-tools libqt6opengl6-dev
  clang libclang-rt-14-dev clang-format clang-tidy
  xvfb xauth dbus libglib2.0-bin imagemagick fonts-wqy-microhei fonts-dejavu-core
  at-spi2-core python3-pyatspi
  libsystemd-dev libxcb1-dev
  libwayland-dev sway foot
  librsvg2-bin
  desktop-file-utils appstream man-db groff-base bash-completion dpkg-dev
  qemu-system-x86 linux-image-amd64 busybox-static cpio kmod udev xz-utils
)
command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1 || PKGS+=(nodejs npm)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The lighting client, unless the pinned version is there already.
install_sdk_client() {
  local dest="$here/${BUILD:-build}/sdk-client"
  local pkg="$dest/node_modules/openrgb-sdk/package.json"
  local want
  want=$(sed -n 's/.*"openrgb-sdk": *"\([^"]*\)".*/\1/p' "$here/tests/app/sdkclient/package.json")
  if [ -f "$pkg" ] && grep -q "\"version\": *\"$want\"" "$pkg"; then
    return 0
  fi
  mkdir -p "$dest"
  cp "$here/tests/app/sdkclient/package.json" "$here/tests/app/sdkclient/package-lock.json" "$dest/"
  echo "Installing the lighting client openrgb-sdk $want into $dest"
  (cd "$dest" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
}

if [ ${#missing[@]} -eq 0 ]; then
  install_sdk_client
  exit 0
fi
echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  SUDO=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
install_sdk_client
