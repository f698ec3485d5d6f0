#!/usr/bin/env bash
# Boots Debian's own kernel in a QEMU guest with the host's root as a read-only 9p share under a
# tmpfs overlay, runs one command there as root and returns its exit status.
#
#   tests/kernel/run-guest.sh [--workdir DIR] [--timeout SECONDS] [--] COMMAND [ARG...]
#
# The command runs in the current folder (the same path in the guest) after the guest has loaded
# dummy_hcd, libcomposite, usb_f_hid, usbhid and hid-generic and started systemd-udevd. Nothing the
# guest writes reaches the host except the folder named by $NK7X_GUEST_RESULTS inside the guest,
# which is <workdir>/results on the host. Prints the boot and the command's times.
set -euo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
WORK=""
TIMEOUT=600
while [ $# -gt 0 ]; do
  case "$1" in
    --workdir) WORK="$2"; shift 2 ;;
    --timeout) TIMEOUT="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--workdir DIR] [--timeout S] [--] COMMAND..." >&2; exit 2; }
WORK="${WORK:-$(mktemp -d /tmp/nk7x-guest.XXXXXX)}"
mkdir -p "$WORK"
WORK="$(cd "$WORK" && pwd)"

fail() { echo "kernel guest: $*" >&2; exit 125; }

for tool in qemu-system-x86_64 busybox cpio xz readelf; do
  command -v "$tool" >/dev/null 2>&1 || fail "$tool is missing (scripts/install-deps.sh installs it)"
done

# The kernel is the one the installed linux-image-amd64 package names, so the modules under
# /lib/modules always match it, whatever the host itself runs.
KVER="$(dpkg-query -W -f='${Depends}' linux-image-amd64 2>/dev/null | sed -n 's/.*linux-image-\([0-9][^ ,]*\).*/\1/p')"
[ -n "$KVER" ] || fail "the package linux-image-amd64 is not installed"
BZ="/boot/vmlinuz-$KVER"
MODDIR="/lib/modules/$KVER"
[ -r "$BZ" ] || fail "$BZ cannot be read"
[ -d "$MODDIR" ] || fail "$MODDIR is missing"

# An uncompressed ELF kernel boots through PVH and saves the decompression on every boot.
VMLINUX="$WORK/vmlinux-$KVER"
if [ ! -s "$VMLINUX" ]; then
  off="$(LC_ALL=C grep -obUaP '\xFD7zXZ\x00' "$BZ" | head -1 | cut -d: -f1)"
  [ -n "$off" ] || fail "no xz payload in $BZ"
  tail -c +$((off + 1)) "$BZ" | xz -dc --single-stream > "$VMLINUX.tmp" 2>/dev/null || true
  head -c 4 "$VMLINUX.tmp" | grep -q ELF || fail "could not unpack $BZ"
  mv "$VMLINUX.tmp" "$VMLINUX"
fi

# The initramfs: static busybox and just the modules that reach the host's root.
INITRD="$WORK/initramfs-$KVER.cpio"
if [ ! -s "$INITRD" ] || [ "$HERE/run-guest.sh" -nt "$INITRD" ]; then
  ROOT="$WORK/initramfs"
  rm -rf "$ROOT"
  mkdir -p "$ROOT"/{bin,dev,proc,sys,mnt/host,mnt/rw,mnt/results,newroot,modules}
  cp "$(command -v busybox)" "$ROOT/bin/busybox"
  readelf -l "$ROOT/bin/busybox" 2>/dev/null | grep -q 'program interpreter' &&
    fail "busybox is not the static build (busybox-static)"
  # Each module after the modules it needs, as modules.dep lists them.
  add_module() {
    local line path deps d
    line="$(grep -E "(^|/)$1\.ko(\.xz|\.zst)?:" "$MODDIR/modules.dep" | head -1)"
    [ -n "$line" ] || fail "module $1 is not in $MODDIR"
    path="${line%%:*}"
    deps="${line#*:}"
    for d in $deps; do
      d="$(basename "$d")"; d="${d%%.ko*}"
      grep -qx "$d" "$ROOT/modules/order" 2>/dev/null || add_module "$d"
    done
    grep -qx "$1" "$ROOT/modules/order" 2>/dev/null && return 0
    case "$path" in
      *.xz) xz -dc "$MODDIR/$path" > "$ROOT/modules/$1.ko" ;;
      *.zst) zstd -dqc "$MODDIR/$path" > "$ROOT/modules/$1.ko" ;;
      *) cp "$MODDIR/$path" "$ROOT/modules/$1.ko" ;;
    esac
    echo "$1" >> "$ROOT/modules/order"
  }
  : > "$ROOT/modules/order"
  for m in virtio_pci 9pnet_virtio 9p overlay; do add_module "$m"; done
  cat > "$ROOT/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox mount -t proc proc /proc
/bin/busybox mount -t sysfs sys /sys
/bin/busybox mount -t devtmpfs dev /dev
for m in $(/bin/busybox cat /modules/order); do /bin/busybox insmod /modules/$m.ko || echo "insmod $m failed"; done
die() { echo "guest init: $*"; echo o > /proc/sysrq-trigger; /bin/busybox sleep 10; }
/bin/busybox mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=512000 hostroot /mnt/host || die "no host root"
/bin/busybox mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 results /mnt/results || die "no results share"
/bin/busybox mount -t tmpfs -o mode=755 rw /mnt/rw
/bin/busybox mkdir -p /mnt/rw/upper /mnt/rw/work
/bin/busybox mount -t overlay -o lowerdir=/mnt/host,upperdir=/mnt/rw/upper,workdir=/mnt/rw/work overlay /newroot || die "no overlay"
/bin/busybox mkdir -p /newroot/run/nk7x-results
/bin/busybox mount --move /mnt/results /newroot/run/nk7x-results
/bin/busybox umount /proc /sys
/bin/busybox mount --move /dev /newroot/dev
exec /bin/busybox switch_root /newroot /bin/sh /run/nk7x-results/stage2.sh
INIT
  chmod +x "$ROOT/init" "$ROOT/bin/busybox"
  (cd "$ROOT" && find . | cpio -o -H newc --quiet) > "$INITRD.tmp"
  mv "$INITRD.tmp" "$INITRD"
fi

RESULTS="$WORK/results"
rm -rf "$RESULTS"
mkdir -p "$RESULTS"
cp "$HERE/guest-stage2.sh" "$RESULTS/stage2.sh"
{
  printf 'cd %q\n' "$PWD"
  printf 'export NK7X_GUEST_RESULTS=/run/nk7x-results/out\n'
  printf 'exec'
  printf ' %q' "$@"
  printf '\n'
} > "$RESULTS/command.sh"
mkdir -p "$RESULTS/out"

# KVM only where the CPU offers virtualisation; the machines here have /dev/kvm without it.
# Under emulation the processor model has no AVX: the emulator's wide-vector instructions crashed
# the toolkit's threaded image scaling in the guest now and then.
ACCEL=tcg
CPU=qemu64,+ssse3,+sse4.1,+sse4.2,+popcnt
if [ -w /dev/kvm ] && grep -qwE 'vmx|svm' /proc/cpuinfo; then
  ACCEL=kvm
  CPU=host
fi
# qboot starts the kernel sooner than the default firmware and prints nothing.
BIOS=""
[ -r /usr/share/qemu/qboot.rom ] && BIOS="-bios /usr/share/qemu/qboot.rom"
SMP="$(nproc)"
[ "$SMP" -gt 4 ] && SMP=4

START=$(date +%s.%N)
set +e
timeout --foreground -k 5 "$TIMEOUT" qemu-system-x86_64 \
  -machine pc,accel="$ACCEL" -cpu "$CPU" -smp "$SMP" -m "${NK7X_GUEST_MEM:-1536}" \
  -nographic -no-reboot -nodefaults -serial stdio $BIOS \
  -kernel "$VMLINUX" -initrd "$INITRD" \
  -append "console=ttyS0 quiet loglevel=3 panic=-1 oops=panic rdinit=/init mitigations=off tsc=reliable" \
  -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
  -virtfs local,path="$RESULTS",mount_tag=results,security_model=none \
  < /dev/null
QEMU_RC=$?
set -e
END=$(date +%s.%N)

if [ ! -f "$RESULTS/status" ]; then
  if [ "$QEMU_RC" -eq 124 ]; then fail "the guest did not finish within ${TIMEOUT} s"; fi
  fail "the guest ended without a result (qemu exit $QEMU_RC, accelerator $ACCEL)"
fi
RC="$(cat "$RESULTS/status")"
BOOT="$(cat "$RESULTS/booted" 2>/dev/null || echo '?')"
awk -v s="$START" -v e="$END" -v b="$BOOT" -v a="$ACCEL" 'BEGIN {
  if (b == "?") printf "kernel guest (%s): %.1f s in all\n", a, e - s;
  else printf "kernel guest (%s): ready after %.1f s, command %.1f s, %.1f s in all\n", a, b, e - s - b, e - s }'
exit "$RC"
