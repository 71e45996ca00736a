#!/bin/bash
# Runs every test program of a build folder (default build/release) whole,
# repeated and shuffled: `--gtest_repeat=N --gtest_shuffle` (N default 20;
# each repeat shuffles with a new seed), with the environment and working
# folder that ctest gives it (read from `ctest -N -V`). The programs run side
# by side, at most JOBS at a time (default: the cores). Each program's output
# goes to <build>/repeat/<program>.log; one line per program gives its
# result, its seconds and the tests that failed with how often, and the
# exit status is 1 when any failed.
#
#   tools/repeat-tests.sh [BUILD_FOLDER] [REPEATS]
set -u
cd "$(dirname "$0")/.." || exit 2
build=${1:-build/release}
repeats=${2:-20}
jobs=${JOBS:-$(nproc)}
[ -f "$build/CTestTestfile.cmake" ] || { echo "repeat-tests: $build is not a configured build folder" >&2; exit 2; }
build=$(cd "$build" && pwd)
out=$build/repeat
mkdir -p "$out" || exit 2
rm -f "$out"/*.log "$out"/*.result

# The whole-program entries of seed 1 say how ctest starts each program.
listing=$(ctest --test-dir "$build" -N -V -R '^tests_[a-z0-9_]+\.shuffled\.1$') || exit 2
commands=$(printf '%s\n' "$listing" | sed -n 's/^[0-9]*: Test command: //p')
folders=$(printf '%s\n' "$listing" | sed -n 's/^[0-9]*: Working Directory: //p')
[ -n "$commands" ] || { echo "repeat-tests: ctest lists no test programs in $build" >&2; exit 2; }

run_one() { # folder, command line as ctest prints it
    local folder=$1 line=$2 name start status
    eval "set -- $line"
    # The seed's own arguments go; the repeats shuffle anew each time.
    local args=()
    for arg in "$@"; do
        case $arg in --gtest_random_seed=*|--gtest_shuffle) ;; *) args+=("$arg") ;; esac
    done
    for arg in "$@"; do case $arg in */tests_*) name=${arg##*/} ;; esac; done
    start=$(date +%s)
    (cd "$folder" && "${args[@]}" --gtest_repeat="$repeats" --gtest_shuffle) >"$out/$name.log" 2>&1
    status=$?
    local failed
    failed=$(sed -n 's/^\[  FAILED  \] \([A-Za-z0-9_/.]*\)[ ,].*([0-9]* ms)$/\1/p' "$out/$name.log" | sort | uniq -c |
             awk '{printf " %s (%d of '"$repeats"')", $2, $1}')
    if [ "$status" -eq 0 ]; then
        echo "$name: passed ${repeats}x in $(( $(date +%s) - start )) s" >"$out/$name.result"
    else
        echo "$name: FAILED (exit $status) in $(( $(date +%s) - start )) s:${failed:- no test named, see $out/$name.log}" >"$out/$name.result"
    fi
    cat "$out/$name.result"
}
export -f run_one
export out repeats

start=$(date +%s)
paste -d '\n' <(printf '%s\n' "$folders") <(printf '%s\n' "$commands") |
    xargs -d '\n' -n 2 -P "$jobs" bash -c 'run_one "$1" "$2"' _
echo "repeat-tests: $(ls "$out"/*.result | wc -l) programs, $repeats repeats, $(( $(date +%s) - start )) s"
! grep -q FAILED "$out"/*.result
