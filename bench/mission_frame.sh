#!/bin/sh
# Mean frame step of mission 1 as a player walks it, headless on llvmpipe
# with two rasteriser threads at 800 x 600. The release engine runs the
# sample's play folder with scripted input: "New Game" on the title, then the
# walk of mission 1's route (tests/data/play/new_game.txt up to the exit).
# Two runs with ENGINE_FRAME_STATS=1 stop at the frame the walk starts and at
# the frame it ends; the mission's own mean is what the second adds to the
# first:  (n2 * mean2 - n1 * mean1) / (n2 - n1).
# Usage: bench/mission_frame.sh [runs]   (default 3; prints each and the mean)
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
engine=$root/build/release/engine
play=$root/build/release/sample/play
route=$root/tests/data/play/new_game.txt
[ -x "$engine" ] && [ -f "$play/init.txt" ] || {
    echo "mission_frame.sh: build the release preset first (cmake --build --preset release)" >&2
    exit 2
}
runs=${1:-3}
first=100 # the hero starts to walk; the film and the loading are behind
last=1000 # the hero stands in the exit

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The route's clicks and keys up to the exit, without its capture.
awk -v last="$last" '$1 ~ /^[0-9]+$/ && $1 <= last && $2 != "capture"' "$route" > "$work/walk.txt"

# Prints "frames mean-ms" of a run that stops after frame $1.
stats() {
    (cd "$play" && SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe \
        LP_NUM_THREADS=2 ENGINE_FIXED_FRAME_TIME=0.016666668 ENGINE_RANDOM_SEED=1 \
        ENGINE_FRAME_STATS=1 ENGINE_FRAME_LIMIT="$1" ENGINE_INPUT_SCRIPT="$work/walk.txt" \
        "$engine" -win=1 -w=800 -h=600 -s=0 2>&1 >/dev/null) |
        awk '$1 == "frames" { print $2, $6 }'
}

echo "load: $(uptime)"
sum=0
i=1
while [ "$i" -le "$runs" ]; do
    a=$(stats "$first")
    b=$(stats "$last")
    [ -n "$a" ] && [ -n "$b" ] || { echo "mission_frame.sh: no frame figures" >&2; exit 1; }
    ms=$(echo "$a $b" | awk '{ printf "%.2f", ($3 * $4 - $1 * $2) / ($3 - $1) }')
    echo "run $i: frames $first..$last mean step $ms ms (whole runs: $a / $b)"
    sum=$(echo "$sum $ms" | awk '{ print $1 + $2 }')
    i=$((i + 1))
done
echo "mission 1 mean frame step: $(echo "$sum $runs" | awk '{ printf "%.2f", $1 / $2 }') ms"
