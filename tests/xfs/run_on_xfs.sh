#!/bin/sh
# Runs the tests that write tables and settings again on an XFS file system, where files are cloned
# rather than copied: a small image in the build folder, mounted through a loop device. Needs root,
# mkfs.xfs and a free loop device; without them it says so and is skipped (exit 77).
# Usage: run_on_xfs.sh BUILD_DIR TEST_BINARY [GTEST_FILTER]
set -u
build=$1
tests=$2
filter=${3:-*}
work="$build/xfs"
image="$work/image"
mnt="$work/mnt"

skip() { echo "XFS-Lauf übersprungen: $1"; exit 77; }
[ "$(id -u)" = 0 ] || skip "nur als root"
command -v mkfs.xfs >/dev/null 2>&1 || skip "mkfs.xfs fehlt (Paket xfsprogs)"
command -v losetup >/dev/null 2>&1 || skip "losetup fehlt"

cleanup() {
    if mountpoint -q "$mnt" 2>/dev/null; then umount "$mnt" 2>/dev/null || umount -l "$mnt"; fi
    [ -n "${loop:-}" ] && losetup -d "$loop" 2>/dev/null
    rm -f "$image"
}
# A mount an aborted earlier run left behind goes first.
mkdir -p "$mnt"
if mountpoint -q "$mnt" 2>/dev/null; then umount "$mnt" 2>/dev/null || umount -l "$mnt"; fi
for old in $(losetup -j "$image" 2>/dev/null | cut -d: -f1); do losetup -d "$old" 2>/dev/null; done
trap cleanup EXIT INT TERM

rm -f "$image"
truncate -s 400M "$image" || skip "kein Platz für das Abbild"
mkfs.xfs -q -m reflink=1 "$image" >/dev/null 2>&1 || skip "mkfs.xfs schlug fehl"
loop=$(losetup -f --show "$image" 2>/dev/null) || skip "kein freies Loop-Gerät"
mount -t xfs "$loop" "$mnt" 2>/dev/null || skip "das Abbild lässt sich nicht einhängen"
mkdir -p "$mnt/tmp" && chmod 1777 "$mnt/tmp"

TMPDIR="$mnt/tmp" "$tests" --gtest_filter="$filter" --gtest_brief=1
