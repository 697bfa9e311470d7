#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of its own, creating the prefix
# on first use. The Windows build's tests run through it.
#   wine.sh PREFIX PLUGIN_FOLDER DLL_FOLDER... -- PROGRAM [ARGUMENT...]
# DLL_FOLDERs (Qt's libraries, the compiler's runtime) are searched for the
# program's libraries, PLUGIN_FOLDER for Qt's plugins. The programs run without
# a display (Qt's offscreen platform). Exits 77, which ctest counts as skipped,
# without Wine.
set -euo pipefail
prefix=$1
plugins=$2
shift 2
dll_path=""
while [ $# -gt 0 ] && [ "$1" != -- ]; do
    dll_path+="Z:${1//\//\\};"
    shift
done
shift

wine=$(command -v wine64 || true)
[ -n "$wine" ] || [ ! -x /usr/lib/wine/wine64 ] || wine=/usr/lib/wine/wine64
[ -n "$wine" ] || wine=$(command -v wine || true)
if [ -z "$wine" ]; then
    echo "SKIPPED: needs wine64 (scripts/test installs it)"
    exit 77
fi

mkdir -p "$prefix"
export WINEPREFIX
WINEPREFIX=$(cd "$prefix" && pwd)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPATH="$dll_path"
# A Western European system: its ANSI code page is Windows-1252.
export LC_ALL=en_US.UTF-8
export QT_PLUGIN_PATH="Z:${plugins//\//\\}"
unset DISPLAY WAYLAND_DISPLAY
(
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix $WINEPREFIX (once per build folder)" >&2
        "$wine" wineboot -i >"$WINEPREFIX.log" 2>&1
    fi
) 9>"$WINEPREFIX.lock"
exec "$wine" "$@"
