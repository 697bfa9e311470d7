#!/usr/bin/env bash
# Runs a Windows program under Wine, through the loader of its bitness (WINE), in
# a 64-bit prefix made on first use and on an X server of its own; prints the
# report of a Qt test program (-o FILE,txt), which under Wine reaches no pipe.
# Whatever fails ends the run at once with its reason; nothing started here
# outlives it or holds the runner's output. Exits 77 (skipped) where the
# loader cannot run.
#   wine.sh WINE PREFIX PLUGIN_FOLDER DLL_FOLDER... -- PROGRAM [ARGUMENT...]
set -euo pipefail
wine=$1 prefix=$2 plugins=$3 dll_path="" server=/usr/lib/wine/wineserver
shift 3
while [ "$1" != -- ]; do dll_path+="Z:${1//\//\\};" && shift; done
shift
[ -x "$wine" ] || { echo "SKIPPED: needs $wine (scripts/test --windows installs Wine)" && exit 77; }
# Debian's 32-bit loader is an i386 program, which some kernels do not run:
# scripts/test --windows then tests the 64-bit build of the same sources.
version=$("$wine" --version 2>&1) || {
    [ $? -eq 126 ] && echo "SKIPPED: this kernel runs no 32-bit x86 code ($version)" && exit 77
    echo "$wine cannot run: $version" && exit 1
}

WINEPREFIX=$(mkdir -p "$prefix" && cd "$prefix" && pwd)
# A Western European system (code page Windows-1252) with UTF-8 file names.
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
export QT_PLUGIN_PATH="Z:${plugins//\//\\}"
unset WAYLAND_DISPLAY
# The run's own folder beside the prefix holds the log and the X server's
# display number (descriptor 8, its lock, is kept by nothing the run starts).
source "$(dirname "$0")/runscratch.sh"
vr_run_scratch "$WINEPREFIX.run-"
log="$TMPDIR/log" display="$TMPDIR/display"
# The X server, and later Wine's server, write to the log, never to the
# runner's pipe, which would otherwise stay open as long as they run.
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$display" >>"$log" 2>&1 </dev/null 8<&- &
xvfb=$!
# Run by the EXIT trap, which shellcheck 0.9 does not see past the script's
# final exit: it would call the function unreachable.
# shellcheck disable=SC2317
cleanup() {
    "$server" -k >/dev/null 2>&1 </dev/null || true
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$TMPDIR"
}
trap cleanup EXIT
trap 'exit 143' TERM INT
for _ in $(seq 100); do [ -s "$display" ] || ! kill -0 "$xvfb" 2>/dev/null || sleep 0.1; done
[ -s "$display" ] || { echo "The X server did not start:" && cat "$log" && exit 1; }
DISPLAY=":$(head -n1 "$display")"
export DISPLAY
(
    exec 8<&-
    flock 9
    fail() { echo "Wine could not $1 $WINEPREFIX:" && tail -n 20 "$log" && exit 1; }
    # A prefix made before Wine could run 32-bit programs cannot run them. Its
    # registry is on disk once its server has ended.
    if [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
        rm -rf "$WINEPREFIX" && mkdir "$WINEPREFIX"
        if ! "$wine" wineboot -i >>"$log" 2>&1 </dev/null || ! "$server" -w ||
            [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
            fail "make its prefix"
        fi
    fi
    # With no window manager Wine waits two seconds for one at every hidden
    # window: Wine keeps its windows to itself instead.
    grep -qsF '"Managed"="N"' "$WINEPREFIX/user.reg" || {
        "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$log" 2>&1 </dev/null &&
            "$server" -w
    } || fail "set up its prefix"
) 9>"$WINEPREFIX.lock"
# Started here, Wine's server and the programs it starts write to the log too.
"$server" -p5 >>"$log" 2>&1 </dev/null 8<&-
# Only the program searches the DLL folders: the 32-bit compiler's library
# folder among them breaks the making of a prefix.
WINEPATH="$dll_path" "$wine" "$@" 2>>"$log" 8<&- && status=0 || status=$?
for argument; do [[ $argument != *,txt ]] || cat "${argument%,txt}" 2>/dev/null || true; done
[ "$status" -eq 0 ] || tail -n 20 "$log"
exit "$status"
