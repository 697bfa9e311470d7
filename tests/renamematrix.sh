#!/usr/bin/env bash
# Runs the rename fault matrix with a folder on another file system and a
# read-only folder, natively or, built for Windows, under Wine.
#   renamematrix.sh native|wine WORK COMMAND...
# COMMAND runs the matrix program (for Windows through tests/wine.sh); WORK is a
# scratch folder of its own. Natively and as root it runs the matrix again on a
# tmpfs, and on exFAT and FAT through FUSE (where a game on a USB stick or an
# SD card may sit) when /dev/fuse and the drivers are there.
set -euo pipefail
mode=$1
work=$2
shift 2
run=("$@")
mkdir -p "$work"
work=$(cd "$work" && pwd)

if [ "$mode" = wine ]; then
    # Wine shows the Unix root as drive Z:.
    name() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
else
    name() { printf '%s' "$1"; }
fi

scratch="$work/scratch"
mounts=()
loops=()
drivers=()
cleanup() {
    local m
    # A FUSE driver that hangs would keep its mount, and whoever waits on it,
    # forever: detach without waiting, then end the driver.
    for m in "${mounts[@]}"; do umount -l "$m" 2>/dev/null || true; done
    for m in "${drivers[@]}"; do kill -9 "$m" 2>/dev/null || true; done
    for m in "${loops[@]}"; do losetup -d "$m" 2>/dev/null || true; done
    chmod -R u+w "$scratch" 2>/dev/null || true
    rm -rf "$scratch"
    [ -z "${shm:-}" ] || rm -rf "$shm"
}
trap cleanup EXIT
cleanup
mkdir -p "$scratch/levels" "$scratch/other" "$scratch/readonly" "$scratch/images"
args=()

# Another file system: a tmpfs of our own where we may mount, else /dev/shm
# when it is not where the scratch folder is.
if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=1m vr-other "$scratch/other" 2>/dev/null; then
    mounts+=("$scratch/other")
    args+=(--other-disk "$(name "$scratch/other")")
elif [ -d /dev/shm ] && [ "$(stat -c %d /dev/shm)" != "$(stat -c %d "$scratch")" ]; then
    shm=$(mktemp -d /dev/shm/vr-other.XXXXXX)
    args+=(--other-disk "$(name "$shm")")
else
    echo "No second file system to rename across: that case is skipped"
fi

# Read-only: a read-only mount for root, whom folder permissions do not stop.
if [ "$(id -u)" -eq 0 ]; then
    if mount -t tmpfs -o size=1m vr-readonly "$scratch/readonly" 2>/dev/null; then
        mounts+=("$scratch/readonly")
        echo kept >"$scratch/readonly/kept"
        mount -o remount,ro "$scratch/readonly"
        args+=(--read-only "$(name "$scratch/readonly")")
    else
        echo "Cannot mount a read-only file system here: that case is skipped"
    fi
else
    echo kept >"$scratch/readonly/kept"
    chmod a-w "$scratch/readonly"
    args+=(--read-only "$(name "$scratch/readonly")")
fi

status=0
matrix() {
    echo "== $1"
    local limit=()
    # A hanging file-system driver fails the run instead of stalling it.
    [ "$mode" != native ] || limit=(timeout -k 5 60)
    "${limit[@]}" "${run[@]}" --scratch "$(name "$2")" "${args[@]}" "${@:3}" || status=1
}
matrix "$(stat -f -c %T "$scratch/levels")" "$scratch/levels"

# Mounts one more file system at $scratch/$1 with the rest of the line, which
# may use @IMAGE (a fresh image made by the mkfs command in $2) and @DIR.
mount_as() {
    local title=$1 mkfs=$2 image="$scratch/images/$1.img" dir="$scratch/$1"
    shift 2
    mkdir -p "$dir"
    if [ -n "$mkfs" ]; then
        truncate -s 64m "$image"
        $mkfs "$image" >/dev/null 2>&1 || return 1
    fi
    "${@//@IMAGE/$image}" >/dev/null 2>&1 || return 1
    mountpoint -q "$dir" || return 1
    mounts+=("$dir")
}
exfat_loop() {
    local loop
    loop=$(losetup -f --show "$1") || return 1
    loops+=("$loop")
    mount.exfat-fuse "$loop" "$2"
}
# The FAT driver runs in the foreground of a job of ours, so that it can be
# ended when it hangs, as it does on some names it mishandles.
fat() {
    fusefat -f -o rw+ "$1" "$2" &
    drivers+=($!)
    wait_for_mount "$2"
}
wait_for_mount() {
    local i
    for i in $(seq 50); do
        ! mountpoint -q "$1" || return 0
        sleep 0.1
    done
    return 1
}
if [ "$mode" != native ]; then
    :
elif [ "$(id -u)" -ne 0 ]; then
    echo "SKIP   tmpfs, exFAT and FAT: mounting them needs root"
else
    mount_as tmpfs "" mount -t tmpfs -o size=64m vr-levels "$scratch/tmpfs" &&
        matrix tmpfs "$scratch/tmpfs" || echo "SKIP   tmpfs: cannot mount one here"
    if [ ! -e /dev/fuse ]; then
        echo "SKIP   exFAT and FAT: no /dev/fuse"
    else
        # exfat-fuse run by root wants a block device: a loop device on the image.
        { command -v mount.exfat-fuse >/dev/null && mount_as exfat mkfs.exfat \
            exfat_loop @IMAGE "$scratch/exfat" && matrix exFAT "$scratch/exfat"; } ||
            echo "SKIP   exFAT: needs exfat-fuse, exfatprogs and a loop device"
        { command -v fusefat >/dev/null && mount_as fat mkfs.vfat \
            fat @IMAGE "$scratch/fat" && matrix FAT "$scratch/fat" --fuse-fat 1; } ||
            echo "SKIP   FAT: needs fusefat and dosfstools"
    fi
fi
exit $status
