#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of its own, creating the prefix
# on first use. The Windows build's tests run through it.
#   wine.sh PREFIX PLUGIN_FOLDER DLL_FOLDER... -- PROGRAM [ARGUMENT...]
# DLL_FOLDERs (Qt's libraries, the compiler's runtime) are searched for the
# program's libraries, PLUGIN_FOLDER for Qt's plugins. The program gets an X
# server of its own (Xvfb), since Wine draws its windows through X; Wine and
# the server end with it. Exits 77, which ctest counts as skipped, without Wine.
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

# The programs are 32-bit: Wine's own launcher for them, which Debian's wine32
# brings (wine64 alone cannot start them).
wine=$(command -v wine || true)
[ -n "$wine" ] || [ ! -x /usr/lib/wine/wine ] || wine=/usr/lib/wine/wine
if [ -z "$wine" ]; then
    echo "SKIPPED: needs wine32 (scripts/test --windows installs it)"
    exit 77
fi

mkdir -p "$prefix"
export WINEPREFIX
WINEPREFIX=$(cd "$prefix" && pwd)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A Western European system with UTF-8 file names: its ANSI code page is
# Windows-1252.
export LC_ALL=C.UTF-8
export QT_PLUGIN_PATH="Z:${plugins//\//\\}"
server=$(command -v wineserver || echo /usr/lib/wine/wineserver)
unset WAYLAND_DISPLAY
display=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$display" 2>/dev/null &
xvfb=$!
trap '"$server" -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -f "$display"' EXIT
for _ in $(seq 100); do
    [ -s "$display" ] && break
    sleep 0.1
done
export DISPLAY=":$(head -n1 "$display")"
(
    flock 9
    # A prefix made before Wine could run 32-bit programs cannot run them.
    if [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
        echo "Making the Wine prefix $WINEPREFIX (once per build folder)" >&2
        [ ! -f "$WINEPREFIX/system.reg" ] || rm -rf "$WINEPREFIX"
        "$wine" wineboot -i >"$WINEPREFIX.log" 2>&1
    fi
    # No window manager runs here, and Wine waits two seconds for one each time
    # it hides a window left to it: Wine keeps the windows to itself instead.
    grep -qF '"Managed"="N"' "$WINEPREFIX/user.reg" ||
        "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
            >>"$WINEPREFIX.log" 2>&1
) 9>"$WINEPREFIX.lock"
# Only the program searches the DLL folders: the 32-bit compiler's library
# folder among them breaks the making of a prefix.
status=0
WINEPATH="$dll_path" "$wine" "$@" || status=$?
# Under Wine a Qt test program's report does not reach a pipe; the Windows
# build has it written to a file (-o FILE,txt), shown here.
previous=""
for argument in "$@"; do
    if [ "$previous" = -o ] && [ "${argument%,txt}" != "$argument" ]; then
        cat "${argument%,txt}" 2>/dev/null || true
    fi
    previous=$argument
done
exit $status
