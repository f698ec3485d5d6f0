#!/bin/sh
# The guest's second stage, on the overlay over the host's root: the USB and HID modules, udevd,
# then the command; its exit status goes to the results share and the guest powers off.
R=/run/nk7x-results
finish() {
  echo "$1" > "$R/status"
  sync
  echo o > /proc/sysrq-trigger
  # Builtins only: the shares go away under the power-off.
  while :; do :; done
}
mount -t proc proc /proc
mount -t sysfs sys /sys
# /tmp stays the overlay's: the source tree may live under the host's /tmp, and writes land in the
# guest's own layer anyway.
mount -t tmpfs -o mode=755 run2 /run/user 2>/dev/null || true
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs shm /dev/shm
mount -t configfs none /sys/kernel/config 2>/dev/null || { modprobe configfs && mount -t configfs none /sys/kernel/config; }
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
hostname nk7x-guest
# Six device controllers: every emulated kind can be on the bus at once.
modprobe dummy_hcd num=6 || { echo "guest: modprobe dummy_hcd failed"; finish 125; }
for m in libcomposite usb_f_hid usbhid hid-generic uhid; do
  modprobe "$m" || { echo "guest: modprobe $m failed"; finish 125; }
done
UDEVD=/lib/systemd/systemd-udevd
[ -x "$UDEVD" ] || UDEVD=/usr/lib/systemd/systemd-udevd
if [ -x "$UDEVD" ]; then
  "$UDEVD" --daemon --resolve-names=never || { echo "guest: systemd-udevd did not start"; finish 125; }
  udevadm trigger --action=add --subsystem-match=hidraw --subsystem-match=usb >/dev/null 2>&1
  udevadm settle -t 10 || true
else
  echo "guest: systemd-udevd is missing (package udev)"
  finish 125
fi
cut -d' ' -f1 /proc/uptime > "$R/booted"
sh "$R/command.sh"
finish $?
