#!/bin/sh
# Bounded libFuzzer run: run_fuzzer.sh BINARY WORKDIR RUNS [-FLAG...] CORPUS...
# Tries the seed folders, then RUNS more inputs from a fixed seed, starting
# from an empty scratch corpus; findings are written under WORKDIR, never
# into the source tree. Arguments that begin with '-' are further libFuzzer
# flags.
bin=$1; work=$2; runs=$3; shift 3
if [ ! -x "$bin" ]; then
    echo "libFuzzer build $bin not found"
    exit 1
fi
rm -rf "$work"
mkdir -p "$work/scratch" "$work/artifacts"
flags=""
seeds=""
for d in "$@"; do
    case "$d" in
        -*) flags="$flags $d" ;;
        *) [ -d "$d" ] && seeds="$seeds $d" ;;
    esac
done
# shellcheck disable=SC2086
exec "$bin" -seed=1 -runs="$runs" -print_final_stats=1 $flags \
    -artifact_prefix="$work/artifacts/" "$work/scratch" $seeds
