#!/bin/bash
# Runs CI (.ci/run, so ./test.sh) as root on a fresh Debian 12, in a chroot made with
# debootstrap: a program or file the suite takes for granted shows up here and not on a
# developer's machine. Run by hand as root; from a new chroot it takes about 40 minutes on
# two cores.
# Usage: tools/dev/fresh_machine_test.sh [folder for the chroot, default /var/tmp/blockdash-fresh]
# The chroot is kept, with the packages the first run installed: delete the folder for a
# fresh machine again. Its checkout is a clone of this repository's HEAD, made anew.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "run as root: debootstrap, mount and chroot need it" >&2; exit 1; }
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
folder=${1:-/var/tmp/blockdash-fresh}
root=$folder/root
mirror=$(sed -n 's/^URIs: *\(http[^ ]*debian\)$/\1/p; s/^deb \(http[^ ]*debian\) bookworm .*/\1/p' \
         /etc/apt/sources.list /etc/apt/sources.list.d/* 2>/dev/null | head -1 || true)
mirror=${mirror:-http://deb.debian.org/debian}

command -v debootstrap >/dev/null || apt-get install -y -q debootstrap
if [ ! -x "$root/bin/bash" ]; then
    mkdir -p "$folder"
    debootstrap --variant=minbase bookworm "$root" "$mirror"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

mounted=()
unmount() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" || true; done
}
trap unmount EXIT
trap 'exit 1' INT TERM
mount_in() { mkdir -p "$root$3"; mount -t "$1" "$2" "$root$3" && mounted+=("$root$3"); }
mount_in proc proc /proc
mount_in sysfs sys /sys
# /dev with /dev/pts; slave, so that what the run mounts under it stays in the chroot.
mkdir -p "$root/dev"
mount --rbind /dev "$root/dev" && mounted+=("$root/dev")
mount --make-rslave "$root/dev"
mount_in tmpfs shm /dev/shm
mount_in tmpfs tmp /tmp
chmod 1777 "$root/tmp"

rm -rf "$root/work/blockdash"
mkdir -p "$root/work"
git clone -q "$source_dir" "$root/work/blockdash"
started=$(date +%s)
status=0
chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    TERM=dumb CI=true bash -c 'cd /work/blockdash && bash .ci/run' </dev/null || status=$?
echo "fresh machine run: status $status after $(( ($(date +%s) - started) / 60 )) min; logs in $root/work/blockdash/build*/logs"
exit "$status"
