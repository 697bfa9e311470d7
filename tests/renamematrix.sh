#!/usr/bin/env bash
# Runs the rename fault matrix with a folder on another file system and a
# read-only folder, natively or built for Windows and run under Wine.
#   renamematrix.sh native EXE WORK
#   renamematrix.sh wine SOURCE_DIR WORK
# WORK is a build folder of its own (the Windows build and Wine prefix live
# there). Exits 77, which ctest counts as skipped, when Wine or the Windows
# compiler is missing.
set -euo pipefail
mode=$1
work=$3
mkdir -p "$work"
work=$(cd "$work" && pwd)

if [ "$mode" = wine ]; then
    source_dir=$2
    wine=$(command -v wine64 || true)
    [ -n "$wine" ] || [ ! -x /usr/lib/wine/wine64 ] || wine=/usr/lib/wine/wine64
    [ -n "$wine" ] || wine=$(command -v wine || true)
    if [ -z "$wine" ] || ! command -v x86_64-w64-mingw32-g++ >/dev/null; then
        echo "SKIPPED: needs wine64 and g++-mingw-w64-x86-64 (scripts/test installs them)"
        exit 77
    fi
    if [ ! -f "$work/cross/build.ninja" ]; then
        cmake -S "$source_dir/tests/wine" -B "$work/cross" -G Ninja \
            -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$work/cross-configure.log"
    fi
    cmake --build "$work/cross"
    export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    unset DISPLAY WAYLAND_DISPLAY
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix (once per build folder)"
        "$wine" wineboot -i >"$work/wineboot.log" 2>&1
    fi
    run=("$wine" "$work/cross/tst_renamematrix.exe")
    # Wine shows the Unix root as drive Z:.
    name() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
else
    run=("$2")
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
