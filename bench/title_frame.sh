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

input=
label=title_frame.sh
. "$root/bench/frame_step_runs.sh"
echo "title mean frame step: $(echo "$sum $runs" | awk '{ printf "%.2f", $1 / $2 }') ms"
