#!/bin/sh
# Bounded libFuzzer run: run_fuzzer.sh BINARY WORKDIR CORPUS...
# Starts from an empty scratch corpus plus the seed folders; findings are
# written under WORKDIR, never into the source tree.
bin=$1; work=$2; shift 2
if [ ! -x "$bin" ]; then
    echo "libFuzzer build $bin not found (build the fuzz preset first)"
    exit 77
fi
rm -rf "$work"
mkdir -p "$work/scratch" "$work/artifacts"
seeds=""
for d in "$@"; do
    [ -d "$d" ] && seeds="$seeds $d"
done
# shellcheck disable=SC2086
exec "$bin" -seed=1 -max_total_time=10 -print_final_stats=0 \
    -artifact_prefix="$work/artifacts/" "$work/scratch" $seeds
