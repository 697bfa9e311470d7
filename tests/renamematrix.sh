#!/usr/bin/env bash
# Runs the rename matrix, with a folder on another disk and a read-only one,
# natively or under Wine (COMMAND goes through wine.sh); natively as root also on
# tmpfs, exFAT and FAT through FUSE (a game on a USB stick or an SD card).
#   renamematrix.sh native|wine WORK COMMAND...
set -euo pipefail
mode=$1 scratch=$(mkdir -p "$2" && cd "$2" && pwd)/scratch
shift 2
run=("$@")
# A hanging file-system driver fails the run instead of stalling it.
[ "$mode" != native ] || run=(timeout -k 5 60 "$@")
# Wine shows the Unix root as drive Z:.
name() { if [ "$mode" = wine ]; then local p=${1//\//\\} && echo "Z:$p"; else echo "$1"; fi; }
mounts=() loops=() drivers=()
cleanup() {
    # A hanging FUSE driver would keep its mount, and whoever waits on it,
    # forever: detach without waiting, then end the driver.
    { umount -l "${mounts[@]}"; kill -9 "${drivers[@]}"; losetup -d "${loops[@]}"
        chmod -R u+w "$scratch"; } 2>/dev/null || true
    rm -rf "$scratch" ${shm:+"$shm"}
}
trap cleanup EXIT
cleanup
mkdir -p "$scratch"/{levels,other,readonly,images}

# Mounts $scratch/$1 by the rest of the line; @IMAGE is a fresh image made by mkfs $2.
mount_as() {
    local dir="$scratch/$1" image="$scratch/images/$1.img" mkfs=$2
    shift 2
    mkdir -p "$dir"
    [ -z "$mkfs" ] || { truncate -s 64m "$image" && $mkfs "$image" >/dev/null 2>&1; } || return 1
    "${@//@IMAGE/$image}" >/dev/null 2>&1 && mountpoint -q "$dir" && mounts+=("$dir")
}
tmpfs() { mount_as "$1" "" mount -t tmpfs -o "size=$2" "vr-$1" "$scratch/$1"; }
# exfat-fuse run by root wants a block device: a loop device on the image.
exfat() { loops+=("$(losetup -f --show "$1")") && mount.exfat-fuse "${loops[-1]}" "$2"; }
fuse() { [ -e /dev/fuse ] && command -v "$1" >/dev/null; }
# The FAT driver runs as a job of ours, so that it can be ended when it hangs.
fat() {
    fusefat -f -o rw+ "$1" "$2" & drivers+=($!)
    for _ in $(seq 50); do mountpoint -q "$2" || sleep 0.1; done
}

echo kept >"$scratch/readonly/kept"
readonly=$scratch/readonly other=""
if [ "$(id -u)" -ne 0 ]; then
    chmod a-w "$readonly"
    # Another disk without mounting: /dev/shm, when the scratch folder is not on it.
    [ "$(stat -c %d /dev/shm 2>/dev/null)" = "$(stat -c %d "$scratch")" ] ||
        ! shm=$(mktemp -d /dev/shm/vr-other.XXXXXX 2>/dev/null) || other=$shm
    echo "SKIP   tmpfs, exFAT and FAT: mounting them needs root"
else
    # Root ignores folder permissions: a read-only mount instead.
    tmpfs readonly 1m && echo kept >"$readonly/kept" && mount -o remount,ro "$readonly" ||
        readonly=""
    tmpfs other 1m && other=$scratch/other
fi
export VR_READ_ONLY=${readonly:+$(name "$readonly")} VR_OTHER_DISK=${other:+$(name "$other")}

# Unmounts $1, once its driver has written everything, and checks its image
# with $2: whatever the renames and their race did, the file system is whole.
checked() {
    local image="$scratch/images/$1.img" driver
    umount "$scratch/$1" || return 0
    for driver in "${drivers[@]}"; do
        for _ in $(seq 50); do kill -0 "$driver" 2>/dev/null && sleep 0.1; done
    done
    local report
    report=$($2 -n "$image" 2>&1) || { echo "FAIL   $1 damaged:" && echo "$report" && status=1; }
}
status=0
matrix() { echo "== $1" && VR_SCRATCH=$(name "$2") "${run[@]}" || status=1; }
matrix "$(stat -f -c %T "$scratch/levels")" "$scratch/levels"
if [ "$mode" = native ] && [ "$(id -u)" -eq 0 ]; then
    { tmpfs tmpfs 64m && matrix tmpfs "$scratch/tmpfs"; } || echo "SKIP   tmpfs: cannot mount one here"
    { fuse mount.exfat-fuse && mount_as exfat mkfs.exfat exfat @IMAGE "$scratch/exfat" &&
        matrix exFAT "$scratch/exfat" && checked exfat fsck.exfat; } ||
        echo "SKIP   exFAT: needs /dev/fuse, exfat-fuse, exfatprogs"
    { fuse fusefat && mount_as fat mkfs.vfat fat @IMAGE "$scratch/fat" &&
        VR_FUSE_FAT=1 matrix FAT "$scratch/fat" && checked fat fsck.fat; } ||
        echo "SKIP   FAT: needs /dev/fuse, fusefat, dosfstools"
fi
exit $status
