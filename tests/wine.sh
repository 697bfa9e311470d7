#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine, in a prefix made on first use and
# on an X server of its own; prints the report of a Qt test program (-o FILE,txt),
# which under Wine reaches no pipe. Exits 77 (skipped) without Wine.
#   wine.sh PREFIX PLUGIN_FOLDER DLL_FOLDER... -- PROGRAM [ARGUMENT...]
set -euo pipefail
prefix=$1 plugins=$2 dll_path=""
shift 2
while [ "$1" != -- ]; do dll_path+="Z:${1//\//\\};" && shift; done
shift
# Debian's wine32 brings the launcher of 32-bit programs (wine64 cannot start them).
wine=$(command -v wine || command -v /usr/lib/wine/wine || true)
[ -n "$wine" ] || { echo "SKIPPED: needs wine32 (scripts/test --windows installs it)" && exit 77; }

WINEPREFIX=$(mkdir -p "$prefix" && cd "$prefix" && pwd)
# A Western European system (code page Windows-1252) with UTF-8 file names.
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
export QT_PLUGIN_PATH="Z:${plugins//\//\\}"
server=$(command -v wineserver || echo /usr/lib/wine/wineserver)
unset WAYLAND_DISPLAY
display=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$display" 2>/dev/null & xvfb=$!
trap '"$server" -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -f "$display"' EXIT
for _ in $(seq 100); do [ -s "$display" ] || sleep 0.1; done
export DISPLAY=":$(head -n1 "$display")"
(
    flock 9
    # A prefix made before Wine could run 32-bit programs cannot run them.
    if [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
        rm -rf "$WINEPREFIX" && "$wine" wineboot -i >"$WINEPREFIX.log" 2>&1
    fi
    # With no window manager Wine waits two seconds for one at every hidden
    # window: Wine keeps its windows to itself instead.
    grep -qF '"Managed"="N"' "$WINEPREFIX/user.reg" ||
        "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$WINEPREFIX.log" 2>&1
) 9>"$WINEPREFIX.lock"
# Only the program searches the DLL folders: the 32-bit compiler's library
# folder among them breaks the making of a prefix.
WINEPATH="$dll_path" "$wine" "$@" && status=0 || status=$?
for argument; do [[ $argument != *,txt ]] || cat "${argument%,txt}" 2>/dev/null || true; done
exit "$status"
