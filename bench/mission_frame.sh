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

input=$work/walk.txt
label=mission_frame.sh
. "$root/bench/frame_step_runs.sh"
echo "mission 1 mean frame step: $(echo "$sum $runs" | awk '{ printf "%.2f", $1 / $2 }') ms"
