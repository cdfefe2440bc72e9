#!/usr/bin/env bash
# Builds the emulated x86-64 guest from Debian's packages alone: a Debian 12 root made by
# debootstrap with Debian's kernel, Wine (its 32-bit part included), Xvfb and Python (which
# lays the end-to-end tests' discs, as on the host), written into
# an ext4 image without loop mounts, and the kernel and initrd to boot it directly. The
# caller keeps the result under a hash of this file, so any change here builds a new guest.
#
# usage: build-image.sh OUT_DIR MIRROR      (as root: debootstrap and chroot need it)
#
# OUT_DIR gets root.img, vmlinuz, initrd.img and guest.txt; the build goes to OUT_DIR.build
# first and is renamed only once complete, so a build that stops halfway is never used.
set -euo pipefail

out=$1
mirror=$2
work=$out.build
root=$work/root
log=$work/build.log

step() { echo "[test-x86]   $*"; }
fail() {
    echo "test-x86: building the guest failed: $1" >&2
    [ -s "$log" ] && tail -n 15 "$log" | sed 's/^/    /' >&2
    echo "    (the whole log: $log)" >&2
    exit 2
}

# Never delete through a mount: /proc inside the root is mounted while packages install.
release() { if mountpoint -q "$root/proc" 2>/dev/null; then umount "$root/proc"; fi; }
trap release EXIT

if [ -d "$work" ]; then
    release
    rm -rf --one-file-system "$work"
fi
mkdir -p "$work"

step "debootstrap: a minimal Debian 12 root from $mirror"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$log" 2>&1 ||
    fail "debootstrap could not make a Debian 12 root from $mirror"

step "installing Debian's kernel, Wine (32- and 64-bit), Xvfb, Python and the locales"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# No service starts inside the chroot while packages install.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
mount -t proc proc "$root/proc"
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    DEBIAN_FRONTEND=noninteractive LC_ALL=C "$@" >>"$log" 2>&1; }
in_root dpkg --add-architecture i386 || fail "dpkg --add-architecture i386"
in_root apt-get update -q || fail "apt-get update inside the guest root (is $mirror reachable?)"
in_root apt-get install -y -q --no-install-recommends \
    linux-image-amd64 initramfs-tools kmod udev procps e2fsprogs locales \
    wine wine32:i386 wine64 xvfb python3 ||
    fail "installing the guest's packages"
# ja_JP for the code page 932 scenarios, en_US for anything that wants a UTF-8 locale.
printf 'ja_JP.UTF-8 UTF-8\nen_US.UTF-8 UTF-8\n' >"$root/etc/locale.gen"
in_root locale-gen || fail "locale-gen"
in_root apt-get clean
release
rm -f "$root/usr/sbin/policy-rc.d" "$root/etc/resolv.conf"
echo hdasetup-guest >"$root/etc/hostname"

# PID 1 of the guest. Everything a run brings is on its run disk (the second extra disk),
# so the runner can change without a new guest; the first extra disk keeps Wine prefixes.
cat >"$root/sbin/hda-init" <<'INIT'
#!/bin/sh
PATH=/usr/sbin:/usr/bin:/sbin:/bin
export PATH
# The initramfs hands some of these over already mounted.
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mountpoint -q /dev || mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mountpoint -q /dev/pts || mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mountpoint -q /run || mount -t tmpfs tmpfs /run
mkdir -p /var/hda /mnt/run
if mount /dev/vdb /var/hda && mount /dev/vdc /mnt/run && [ -f /mnt/run/guest-run.sh ]; then
    bash /mnt/run/guest-run.sh </dev/null >/dev/console 2>&1
else
    echo "hda-guest: error: the guest's prefix disk or run disk is missing" >/dev/console
fi
sync
umount /mnt/run
umount /var/hda
sync
echo o >/proc/sysrq-trigger
sleep 60
INIT
chmod 755 "$root/sbin/hda-init"

kernel=$(find "$root/boot" -maxdepth 1 -name 'vmlinuz-*' | sort | tail -n 1)
initrd=$(find "$root/boot" -maxdepth 1 -name 'initrd.img-*' | sort | tail -n 1)
[ -n "$kernel" ] && [ -n "$initrd" ] || fail "no kernel or initrd in the guest's /boot"
cp "$kernel" "$work/vmlinuz"
cp "$initrd" "$work/initrd.img"
{
    echo "Debian $(cat "$root/etc/debian_version"), kernel ${kernel##*/vmlinuz-}"
    chroot "$root" dpkg-query -W -f '${Package}:${Architecture} ${Version}\n' wine wine32 wine64
    echo "from $mirror, built $(date -u '+%Y-%m-%d %H:%M UTC')"
} >"$work/guest.txt"

step "writing the root image ($(du -sh "$root" | cut -f1) of files; mke2fs, no loop mount)"
mke2fs -q -t ext4 -L hda-root -d "$root" "$work/root.img" 6G >>"$log" 2>&1 ||
    fail "mke2fs could not write the root image"
rm -rf --one-file-system "$root"
rm -rf "$out"
mv "$work" "$out"
