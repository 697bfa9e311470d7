# shellcheck shell=bash
# Shared by the scripts: install what is missing, then build. Sourced, not run.
# shellcheck disable=SC2034 # the lists are for the scripts that source this file

VR_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
VR_BUILD="$VR_ROOT/build"

# Debian packages the build and the tests need.
# GLib's development files give the GIO the text editor is started through;
# libyaml's, the YAML parser Lutris's and Bottles' files are read with;
# clang-format and shellcheck keep the sources and scripts clean (the format
# and shellcheck tests).
VR_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libglib2.0-dev libyaml-dev
    clang-format shellcheck)
# What the end-to-end tests need: Python to drive them, their own X server,
# input through XTest (xdotool), window properties (xprop), screenshots, a
# small window manager for what only a window manager does (minimizing,
# workspaces), and Nimbus Sans, a face taller than most for its size, in which
# the looks tests draw the windows.
VR_E2E_PACKAGES=(python3 xvfb x11-utils xdotool imagemagick openbox fonts-urw-base35)
# What the Debian package is built with (dpkg-shlibdeps finds its
# dependencies, and CPack needs file for that) and checked with.
VR_PACKAGE_PACKAGES=(dpkg-dev file lintian)
# What the portable Linux folder is made with (patchelf gives each library its
# RUNPATH) and checked with: debootstrap makes the bare system it runs in, OCR
# (tesseract) reads its window's texts back, GLib's gio starts its menu entry
# as GNOME's menus do, desktop-file-validate checks that entry.
VR_PORTABLE_PACKAGES=(patchelf debootstrap tesseract-ocr tesseract-ocr-eng libglib2.0-bin
    desktop-file-utils)
# Only some tests need these; without them those tests are skipped.
# The FUSE drivers and their mkfs tools put the rename matrix on exFAT and FAT
# as a game on a USB stick or an SD card meets them; libfuse 3 builds the
# tests' own slow and silent disks for the game search; a session bus of the
# tests' own has an editor that D-Bus would start, and whose service is missing.
VR_TEST_PACKAGES=(binutils-mingw-w64-i686 valgrind
    desktop-file-utils appstream "${VR_PACKAGE_PACKAGES[@]}"
    exfat-fuse exfatprogs fusefat dosfstools fuse3 libfuse3-dev dbus-daemon)

vr_as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "Need root to run: $*  (install sudo or run as root)" >&2
        return 1
    fi
}

# Lets dpkg install packages of another architecture (wine32:i386 runs the
# 32-bit Windows program); apt then needs that architecture's lists.
vr_add_architecture() {
    [ "$1" = "$(dpkg --print-architecture)" ] && return 0
    dpkg --print-foreign-architectures | grep -qxF "$1" && return 0
    vr_as_root dpkg --add-architecture "$1" || return 1
    unset VR_APT_UPDATED
}

# Installs the named packages (NAME or NAME:ARCH) that are not installed yet;
# apt-get update runs once per script, and only when something is missing.
vr_install() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    for package in "${missing[@]}"; do
        [ "${package#*:}" = "$package" ] || vr_add_architecture "${package#*:}" || return 1
    done
    if [ -z "${VR_APT_UPDATED:-}" ]; then
        vr_as_root apt-get -o DPkg::Lock::Timeout=900 update -qq || return 1
        VR_APT_UPDATED=1
    fi
    # Another install on this machine holds the lock for a while at most: wait.
    vr_as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 \
        install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# Configures VR_BUILD (once, with the options VR_CONFIGURE adds) and builds it.
VR_CONFIGURE=()
vr_build() {
    if [ ! -f "$VR_BUILD/build.ninja" ]; then
        cmake -S "$VR_ROOT" -B "$VR_BUILD" -G Ninja -DVR_WERROR=ON "${VR_CONFIGURE[@]}" || return 1
    fi
    cmake --build "$VR_BUILD"
}
