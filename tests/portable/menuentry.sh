#!/usr/bin/env bash
# menu-entry of the portable FOLDER, run in a scratch home from copies of the
# folder under names that need quoting: the entry it adds passes
# desktop-file-validate, and GLib (as GNOME's menus do) reads its Exec back as
# this folder's program and starts it; add again after a move points at the
# new place; XDG_DATA_HOME is honoured when absolute; remove takes out only an
# entry menu-entry wrote; a path no entry can name is refused.
# Usage: menuentry.sh FOLDER
set -euo pipefail
folder=$1
for tool in gio desktop-file-validate; do
    command -v "$tool" >/dev/null || {
        echo "SKIPPED: $tool is missing (scripts/portable installs it)"
        exit 77
    }
done
source "$(dirname "$0")/../runscratch.sh"
vr_run_scratch "${TMPDIR:-/tmp}/vr-portable_menu_entry-"
scratch=$TMPDIR
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent
unset XDG_DATA_HOME
entry="$HOME/.local/share/applications/vantorel-renamer.desktop"
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# A copy of what menu-entry uses, its program a stand-in that says where it is.
unpack() {
    local to=$1
    mkdir -p "$to/share/applications" "$to/share/icons/hicolor/256x256/apps"
    cp "$folder/menu-entry" "$to/"
    cp "$folder/share/applications/vantorel-renamer.desktop" "$to/share/applications/"
    cp "$folder/share/icons/hicolor/256x256/apps/vantorel-renamer.png" \
        "$to/share/icons/hicolor/256x256/apps/"
    cat >"$to/vantorel-renamer" <<STANDIN
#!/bin/sh
printf '%s\n' "\$0" >"$scratch/started"
STANDIN
    chmod +x "$to/vantorel-renamer"
}
# The entry is valid, its icon is there and GLib starts the program of $1.
starts() {
    local output
    output=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $output"
    [ -z "$output" ] || fail "desktop-file-validate: $output"
    [ -f "$(sed -n 's/^Icon=//p' "$entry" | sed 's/\\\\/\\/g')" ] || fail "no icon at $(grep ^Icon= "$entry")"
    rm -f "$scratch/started"
    gio launch "$entry" || fail "GLib cannot start $(grep ^Exec= "$entry")"
    for _ in $(seq 50); do
        [ -s "$scratch/started" ] && break
        sleep 0.1
    done
    [ "$(cat "$scratch/started" 2>/dev/null)" = "$1/vantorel-renamer" ] ||
        fail "$(grep ^Exec= "$entry") started '$(cat "$scratch/started" 2>/dev/null)', not $1/vantorel-renamer"
}

games="$HOME/My Games/Vantorel \"Renamer\" \$HOME \`id\` a\\b ü"
unpack "$games"
"$games/menu-entry" add >/dev/null
starts "$games"
# Moved, and added again from the new place with a relative path.
mv "$games" "$HOME/Moved 'here'"
(cd "$HOME/Moved 'here'" && sh menu-entry add >/dev/null)
starts "$HOME/Moved 'here'"
[ "$(ls "${entry%/*}")" = vantorel-renamer.desktop ] || fail "entries: $(ls "${entry%/*}")"

# XDG_DATA_HOME when absolute; a relative one is ignored.
XDG_DATA_HOME="$scratch/data" "$HOME/Moved 'here'/menu-entry" add >/dev/null
[ -f "$scratch/data/applications/vantorel-renamer.desktop" ] || fail "XDG_DATA_HOME not honoured"
rm -f "$entry"
XDG_DATA_HOME=data "$HOME/Moved 'here'/menu-entry" add >/dev/null
[ -f "$entry" ] || fail "a relative XDG_DATA_HOME was not ignored"

"$HOME/Moved 'here'/menu-entry" remove >/dev/null
[ ! -e "$entry" ] || fail "remove left $entry"
"$HOME/Moved 'here'/menu-entry" remove >/dev/null || fail "remove without an entry failed"
# An entry of the user's own is not menu-entry's to delete.
printf '[Desktop Entry]\nType=Application\nName=Mine\nExec=true\n' >"$entry"
if "$HOME/Moved 'here'/menu-entry" remove 2>/dev/null || [ ! -f "$entry" ]; then
    fail "remove deleted an entry it did not write"
fi
rm "$entry"

# Paths no entry can name (a line break; a % that GLib would not undo) are
# refused, and no entry is written.
for name in $'line\nbreak' '100% Games'; do
    unpack "$HOME/$name"
    if "$HOME/$name/menu-entry" add 2>/dev/null || [ -e "$entry" ]; then
        fail "an entry was written for $HOME/$name"
    fi
done
echo "menu-entry: added, started through GLib, moved, removed"
