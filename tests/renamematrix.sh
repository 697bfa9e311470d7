#!/usr/bin/env bash
# Runs the rename matrix COMMAND (under Wine through wine.sh) in a folder on one
# FILESYSTEM, beside a folder on another disk and a read-only one: "disk" is the
# build folder's own; natively as root also a tmpfs, and exFAT and FAT through
# FUSE (a game on a USB stick or an SD card), whose images are checked with
# fsck afterwards. Exits 77 (skipped), saying why, where that file system
# cannot be had here.
#   renamematrix.sh native|wine WORK disk|tmpfs|exfat|fat COMMAND...
set -euo pipefail
mode=$1 kind=$3
scratch=$(mkdir -p "$2" && cd "$2" && pwd)/$kind
shift 3
run=("$@")
# A hanging file-system driver fails the run instead of stalling it.
[ "$mode" != native ] || run=(timeout -k 5 60 "$@")
leftovers=$(dirname "$0")/leftovers.sh
# Another disk for a user who may not mount one.
shm=/dev/shm/vr-renamematrix-$(printf '%s' "$scratch" | cksum | cut -d' ' -f1)
# What a run killed at its timeout left (mounts, FUSE drivers, loop devices)
# goes before anything else; the drivers started here carry this TMPDIR, by
# which leftovers.sh finds them.
clear_all() { "$leftovers" "$scratch" && "$leftovers" "$shm"; }
clear_all
trap 'clear_all >/dev/null' EXIT
export TMPDIR=$scratch
mkdir -p "$scratch"/{levels,readonly,images}

skip() {
    echo "SKIPPED: $kind: $*"
    exit 77
}
# Wine shows the Unix root as drive Z:.
name() { if [ "$mode" = wine ]; then local p=${1//\//\\} && echo "Z:$p"; else echo "$1"; fi; }
# Asked of the kernel's table: a look at a FUSE mount itself may never return.
mounted() { grep -qF " ${1// /\\040} " /proc/self/mountinfo; }
tmpfs() { mkdir -p "$scratch/$1" && mount -t tmpfs -o "size=$2" "vr-$1" "$scratch/$1" 2>/dev/null; }
needs() {
    [ -e /dev/fuse ] || skip "needs /dev/fuse"
    for tool; do command -v "$tool" >/dev/null || skip "needs $tool (scripts/test installs it)"; done
}

echo kept >"$scratch/readonly/kept"
readonly=$scratch/readonly other=""
if [ "$(id -u)" -ne 0 ]; then
    [ "$kind" = disk ] || skip "mounting one needs root"
    chmod a-w "$readonly"
    # /dev/shm, when the scratch folder is not on it.
    if [ "$(stat -c %d /dev/shm 2>/dev/null)" != "$(stat -c %d "$scratch")" ] &&
        mkdir -p "$shm" 2>/dev/null; then
        other=$shm
    fi
else
    # Root ignores folder permissions: a read-only mount instead.
    { tmpfs readonly 1m && echo kept >"$readonly/kept" && mount -o remount,ro "$readonly"; } ||
        readonly=""
    if tmpfs other 1m; then other=$scratch/other; fi
fi
export VR_READ_ONLY=${readonly:+$(name "$readonly")} VR_OTHER_DISK=${other:+$(name "$other")}

dir=$scratch/$kind image=$scratch/images/$kind.img driver=""
case $kind in
disk) dir=$scratch/levels ;;
tmpfs) tmpfs tmpfs 64m || skip "cannot mount one here" ;;
exfat)
    needs mount.exfat-fuse mkfs.exfat fsck.exfat
    mkdir -p "$dir" && truncate -s 64m "$image" && mkfs.exfat "$image" >/dev/null
    # exfat-fuse run by root wants a block device: a loop device on the image.
    loop=$(losetup -f --show "$image") || skip "no loop device for its image"
    error=$(mount.exfat-fuse "$loop" "$dir" 2>&1) || skip "exfat-fuse cannot mount here: $error"
    ;;
fat)
    needs fusefat mkfs.vfat fsck.fat
    mkdir -p "$dir" && truncate -s 64m "$image" && mkfs.vfat "$image" >/dev/null
    # The driver runs as a job of ours, to be waited for. It does not say when
    # it has mounted: the mount is looked for as long as it runs, a minute at
    # most (it takes a tenth of a second here).
    fusefat -f -o rw+ "$image" "$dir" >"$scratch/fusefat.log" 2>&1 &
    driver=$!
    for _ in $(seq 600); do
        if mounted "$dir" || ! kill -0 "$driver" 2>/dev/null; then break; fi
        sleep 0.1
    done
    mounted "$dir" || skip "fusefat $(if kill -0 "$driver" 2>/dev/null; then
        echo "has not mounted the image in a minute"
    else echo "cannot mount here: $(cat "$scratch/fusefat.log")"; fi)"
    export VR_FUSE_FAT=1
    ;;
*) echo "No such file system here: $kind" >&2 && exit 2 ;;
esac

echo "== $kind: $(stat -f -c %T "$dir")"
status=0
VR_SCRATCH=$(name "$dir") "${run[@]}" || status=$?
if [ "$mode" = wine ] && [ $status -eq 77 ]; then
    exit 77 # wine.sh: Wine cannot run here
elif [ $status -eq 124 ]; then
    echo "FAIL   the matrix on $kind did not end in a minute: its driver hangs"
fi
[ $status -eq 0 ] || status=1 # a count of failed cases, never taken for a skip

# Once its driver has written everything, the image is checked: whatever the
# renames and their race did, the file system is whole.
if [ "$kind" = exfat ] || [ "$kind" = fat ]; then
    umount "$dir" || { echo "FAIL   cannot unmount $kind to check its image" && exit 1; }
    for _ in $(seq 600); do
        if [ -z "$driver" ] || ! kill -0 "$driver" 2>/dev/null; then break; fi
        sleep 0.1
    done
    [ -z "$driver" ] || ! kill -0 "$driver" 2>/dev/null ||
        { echo "FAIL   fusefat has not ended in a minute after the unmount" && exit 1; }
    report=$("fsck.$kind" -n "$image" 2>&1) ||
        { echo "FAIL   $kind damaged:" && echo "$report" && status=1; }
fi
exit $status
