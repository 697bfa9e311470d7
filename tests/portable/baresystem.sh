#!/usr/bin/env bash
# The bare system the portable folder is tried in: Debian 13 as debootstrap's
# minbase variant makes it, without Qt, with only what every desktop has added
# (the X client libraries, fontconfig and FreeType with one font, OpenGL and
# EGL with Mesa, GLib). Made once per machine under ~/.cache/vantorel-renamer/
# (about 570 MB, two to three minutes) and kept unchanged: runs bind /tmp into
# it.
#   baresystem.sh root         prints its folder, making it when missing
#   baresystem.sh CMD ARGS     runs CMD in it as root, with /proc and the
#                              host's /tmp mounted (VR_BARE_ROOT names it)
# Exit status 77, with the reason on standard error, where it cannot be made
# or entered here: no root, no debootstrap, no mount namespace, no network.
set -euo pipefail

SUITE=trixie
PACKAGES=(libx11-6 libxcb1 fontconfig libfontconfig1 libfreetype6 fonts-dejavu-core
    libgl1 libegl1 libglib2.0-0t64)

skip() {
    echo "SKIPPED: $*" >&2
    exit 77
}

if [ $# -eq 0 ]; then
    echo "Usage: $0 root | COMMAND [ARGUMENTS]" >&2
    exit 2
elif [ "$1" != root ]; then
    # Mounts live in a namespace of the command's own and end with it; the
    # dynamic loader resolves $ORIGIN through /proc/self/exe.
    # shellcheck disable=SC2016 # the inner shell expands them
    exec unshare --mount --propagation private sh -c \
        'mount -t proc proc "$0/proc" && mount --rbind /tmp "$0/tmp" && exec chroot "$0" "$@"' \
        "$VR_BARE_ROOT" "$@"
fi

[ "$(id -u)" -eq 0 ] || skip "a bare system needs root (chroot, mounts): run as root"
for tool in debootstrap unshare chroot flock; do
    command -v "$tool" >/dev/null || skip "$tool is missing (scripts/portable installs it)"
done
unshare --mount true 2>/dev/null || skip "no mount namespace can be made here"

cache="${XDG_CACHE_HOME:-$HOME/.cache}/vantorel-renamer"
key=$(printf '%s\n' "$SUITE" minbase "${PACKAGES[@]}" | sha256sum | cut -c1-12)
root="$cache/bare-$SUITE-$key"
mkdir -p "$cache"
exec 9>"$root.lock"
flock 9 # another test making the same system: wait for it
if [ ! -f "$root/.complete" ]; then
    # The archive the host's own packages come from, else Debian's.
    # shellcheck disable=SC2016 # apt's own field, not the shell's
    mirror=$(apt-get indextargets --format '$(REPO_URI)' 'Label: Debian' 2>/dev/null | head -n1)
    mirror=${mirror:-http://deb.debian.org/debian/}
    wget -q --spider -T 5 -t 1 "${mirror}dists/$SUITE/Release" ||
        skip "no bare system in $cache and ${mirror} cannot be reached to make one"
    echo "Making the bare system in $root (once per machine)" >&2
    rm -rf "$root.partial"
    if ! debootstrap --variant=minbase --include="$(
        IFS=,
        echo "${PACKAGES[*]}"
    )" "$SUITE" "$root.partial" "$mirror" >"$root.log" 2>&1; then
        tail -n 20 "$root.log" >&2
        echo "debootstrap failed: see $root.log" >&2
        exit 1
    fi
    rm -rf "$root.partial/var/cache/apt/archives/"*.deb "$root"
    touch "$root.partial/.complete"
    mv "$root.partial" "$root"
fi
echo "$root"
