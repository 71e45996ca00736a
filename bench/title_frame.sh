#!/bin/sh
# Mean frame step of the sample's title, headless on llvmpipe with two
# rasteriser threads at 800 x 600, as bench/mission_frame.sh measures
# mission 1: the release engine runs a play folder (the sample's, or the one
# given, for example one that an earlier commit's mksample wrote) with no
# input, so the title stands with the cursor on "New Game". Two runs with
# ENGINE_FRAME_STATS=1 stop at frame 100 (the logo and the first frames are
# behind) and at frame 600; the title's own mean is what the second adds to
# the first:  (n2 * mean2 - n1 * mean1) / (n2 - n1).
# Usage: bench/title_frame.sh [runs] [play-folder]   (default 3 runs of
# build/release/sample/play; prints each and the mean)
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
engine=$root/build/release/engine
play=${2:-$root/build/release/sample/play}
[ -x "$engine" ] && [ -f "$play/init.txt" ] || {
    echo "title_frame.sh: build the release preset first (cmake --build --preset release)" >&2
    exit 2
}
play=$(cd "$play" && pwd)
runs=${1:-3}
first=100
last=600

# Prints "frames mean-ms" of a run that stops after frame $1.
stats() {
    (cd "$play" && SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe \
        LP_NUM_THREADS=2 ENGINE_FIXED_FRAME_TIME=0.016666668 ENGINE_RANDOM_SEED=1 \
        ENGINE_FRAME_STATS=1 ENGINE_FRAME_LIMIT="$1" \
        "$engine" -win=1 -w=800 -h=600 -s=0 2>&1 >/dev/null) |
        awk '$1 == "frames" { print $2, $6 }'
}

echo "load: $(uptime)"
echo "play folder: $play"
sum=0
i=1
while [ "$i" -le "$runs" ]; do
    a=$(stats "$first")
    b=$(stats "$last")
    [ -n "$a" ] && [ -n "$b" ] || { echo "title_frame.sh: no frame figures" >&2; exit 1; }
    ms=$(echo "$a $b" | awk '{ printf "%.2f", ($3 * $4 - $1 * $2) / ($3 - $1) }')
    echo "run $i: frames $first..$last mean step $ms ms (whole runs: $a / $b)"
    sum=$(echo "$sum $ms" | awk '{ print $1 + $2 }')
    i=$((i + 1))
done
echo "title mean frame step: $(echo "$sum $runs" | awk '{ printf "%.2f", $1 / $2 }') ms"
