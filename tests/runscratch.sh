# shellcheck shell=bash
# Sourced by a test's script. vr_run_scratch PREFIX makes the run's scratch
# folder PREFIX<random>, exported as TMPDIR (that of all the run starts), and
# holds it locked on descriptor 8 while the script runs; what a run killed
# before its cleanup left goes first (leftovers.sh). It is made under a hidden
# name, which leftovers.sh passes over, and named once locked, so that a run
# starting at that instant never takes it for a dead run's.
vr_run_scratch() {
    local prefix=$1 base hidden
    base=$(basename "$prefix")
    "$(dirname "${BASH_SOURCE[0]}")/leftovers.sh" "$prefix"
    hidden=$(mktemp -d "$(dirname "$prefix")/.${base}XXXXXX")
    exec 8<"$hidden"
    flock 8
    TMPDIR="$prefix${hidden##*/."$base"}"
    mv "$hidden" "$TMPDIR"
    export TMPDIR
}
