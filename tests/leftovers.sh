#!/usr/bin/env bash
# Clears what earlier runs of a test left when they were killed before their
# own cleanup, so that the next run starts as on a fresh machine: each folder
# PREFIX* that no live run holds. A run holds its scratch folder by a lock on
# it (flock) and makes it the TMPDIR of everything it starts; in such a folder
# whose run is gone go, in this order, the processes whose TMPDIR it is (FUSE
# servers, X servers, the program under test), the mounts below it, deepest
# first and without waiting for a server that never answers, the loop devices
# on its images, and the folder. Says what it cleared.
#   leftovers.sh PREFIX
set -uo pipefail # no -e: as much is cleared as can be

# A path as /proc/self/mountinfo writes it: blank, tab, line feed and backslash
# in octal.
escaped() {
    local path=${1//\\/\\134}
    path=${path// /\\040}
    path=${path//$'\t'/\\011}
    printf '%s' "${path//$'\n'/\\012}"
}

clear_folder() {
    local folder=$1 environ pid point loop back variable variables killed=0 mounts=() loops=0
    for environ in /proc/[0-9]*/environ; do
        pid=${environ#/proc/} && pid=${pid%/environ}
        # Not this script, nor the run that called it, which may share the TMPDIR.
        [[ $pid != "$$" && $pid != "$BASHPID" && $pid != "$PPID" ]] || continue
        mapfile -d '' -t variables 2>/dev/null <"$environ" || continue
        for variable in "${variables[@]}"; do
            if [ "$variable" = "TMPDIR=$folder" ]; then
                kill -KILL "$pid" 2>/dev/null && killed=$((killed + 1))
                break
            fi
        done
    done
    local mine
    mine=$(escaped "$folder")
    while read -r _ _ _ _ point _; do
        [[ $point == "$mine" || $point == "$mine"/* ]] && mounts+=("$point")
    done </proc/self/mountinfo
    # Deepest first; a FUSE mount of a user goes through fusermount.
    while IFS= read -r point; do
        [ -n "$point" ] || continue
        point=$(printf '%b' "$point")
        umount -l "$point" 2>/dev/null || fusermount3 -uz "$point" 2>/dev/null ||
            echo "leftovers: cannot unmount $point" >&2
    done < <(printf '%s\n' "${mounts[@]}" | awk '{ print length(), $0 }' | sort -rn | cut -d' ' -f2-)
    while read -r loop back; do
        [[ $back == "$folder"/* ]] && losetup -d "$loop" 2>/dev/null && loops=$((loops + 1))
    done < <(losetup --list --noheadings --output NAME,BACK-FILE 2>/dev/null)
    chmod -R u+rwx "$folder" 2>/dev/null
    rm -rf "$folder"
    echo "leftovers: cleared $folder of a run that was killed: $killed processes," \
        "${#mounts[@]} mounts, $loops loop devices"
}

for folder in "$1"*; do
    [[ -d $folder && ! -L $folder ]] || continue
    # A live run holds its folder: left as it is. The lock is held while this
    # one is cleared, so that two later runs do not clear it at once.
    (
        exec 9<"$folder"
        flock -n 9 && clear_folder "$folder"
    )
done
exit 0
