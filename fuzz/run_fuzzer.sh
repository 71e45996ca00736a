#!/bin/sh
# Bounded libFuzzer run: run_fuzzer.sh BINARY WORKDIR RUNS [-FLAG...] CORPUS...
# Tries the seed folders, then RUNS more inputs from a fixed random seed,
# starting from an empty scratch corpus; findings are written under WORKDIR,
# never into the source tree. Arguments that begin with '-' are further
# libFuzzer flags.
#
# The random seed is FUZZ_SEED from the environment, 1 when it is unset or
# empty (0 lets libFuzzer pick one). ctest sets it to 1, so its runs do the
# same work each time; a campaign gives each run a seed of its own:
#   FUZZ_SEED=7 fuzz/run_fuzzer.sh build/asan/libfuzzer/fuzz_math /tmp/math 100000 fuzz/corpus/math
bin=$1; work=$2; runs=$3; shift 3
seed=${FUZZ_SEED:-1}
case "$seed" in
    *[!0-9]*)
        echo "FUZZ_SEED must be a number, not '$seed'"
        exit 1 ;;
esac
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
exec "$bin" -seed="$seed" -runs="$runs" -print_final_stats=1 $flags \
    -artifact_prefix="$work/artifacts/" "$work/scratch" $seeds
