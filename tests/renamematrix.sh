#!/usr/bin/env bash
# Runs the rename fault matrix with a folder on another file system and a
# read-only folder, natively or, built for Windows, under Wine.
#   renamematrix.sh native|wine WORK COMMAND...
# COMMAND runs the matrix program (for Windows through tests/wine.sh); WORK is a
# scratch folder of its own.
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
cleanup() {
    local m
    for m in "${mounts[@]}"; do umount "$m" 2>/dev/null || true; done
    chmod -R u+w "$scratch" 2>/dev/null || true
    rm -rf "$scratch"
    [ -z "${shm:-}" ] || rm -rf "$shm"
}
trap cleanup EXIT
cleanup
mkdir -p "$scratch/levels" "$scratch/other" "$scratch/readonly"
args=(--scratch "$(name "$scratch/levels")")

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

"${run[@]}" "${args[@]}"
