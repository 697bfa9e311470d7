#!/usr/bin/env bash
# Runs each test program given under valgrind; any memory error or definite
# leak fails the run.  valgrind.sh VALGRIND PROGRAM...
set -u
valgrind=$1
shift
status=0
for program in "$@"; do
    echo "== $(basename "$program")"
    "$valgrind" -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
        --show-leak-kinds=definite "$program" >"$program.valgrind.log" 2>&1 || {
        status=1
        grep -v '^PASS' "$program.valgrind.log"
    }
done
exit $status
