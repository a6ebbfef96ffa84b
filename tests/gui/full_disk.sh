#!/usr/bin/env bash
# Runs the full-disk scenarios with a small file system of their own, mounted in memory:
#   full_disk.sh <velquin_gui_tests.exe> <Velquin.exe> <scratch folder> <mount point>
# Mounting needs root, as the tests have; without it the scenarios are skipped (77).
set -uo pipefail

driver=$1
exe=$2
scratch=$3
disk=$4

mkdir -p "$disk"
# A mount left by a run that was killed part way.
mountpoint -q "$disk" && umount "$disk"
if ! mount -t tmpfs -o size=256k,mode=0777 velquin-full-disk "$disk" 2>/dev/null; then
    echo "cannot mount a small file system at $disk (it needs root): the full-disk scenarios are skipped"
    exit 77
fi
trap 'umount "$disk" || umount -l "$disk"' EXIT
VELQUIN_FULL_DISK=$disk wine "$driver" --gtest_filter='FullDisk.*' "$exe" "$scratch"
