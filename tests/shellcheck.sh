#!/usr/bin/env bash
# Every shell script of the source tree SOURCE passes shellcheck: the files
# whose names end in .sh and those whose first line starts a shell, wherever
# they lie, less .git and the build folders (those holding a CMakeCache.txt).
# An exclusion is a directive beside the line it concerns, saying why.
# Usage: tests/shellcheck.sh SOURCE
set -euo pipefail
cd "$1"
command -v shellcheck >/dev/null || {
    echo "SKIPPED: shellcheck is missing (scripts/test installs it)"
    exit 77
}
scripts=()
while IFS= read -r -d '' file; do
    first=""
    [[ $file == *.sh ]] || IFS= read -r first <"$file" || true
    if [[ $file == *.sh || $first =~ ^\#!.*[/\ ](ba|da)?sh([[:space:]]|$) ]]; then
        scripts+=("$file")
    fi
done < <(find . \( -name .git -o -type d -exec test -e '{}/CMakeCache.txt' \; \) -prune -o \
    -type f -print0 | sort -z)
[ ${#scripts[@]} -gt 0 ] || { echo "No shell script found in $1" && exit 1; }
shellcheck "${scripts[@]}"
echo "shellcheck: ${#scripts[@]} scripts clean: ${scripts[*]}"
