# The measuring loop of bench/mission_frame.sh and bench/title_frame.sh,
# read by both with ".". They set engine (the release engine), play (the play
# folder), input (an input script, or empty), runs, first, last and label.
# Each run is a pair of engine runs with ENGINE_FRAME_STATS=1, headless on
# llvmpipe with two rasteriser threads at 800 x 600, stopping after frame
# $first and after frame $last; the mean frame step between the two is what
# the second adds to the first:  (n2 * mean2 - n1 * mean1) / (n2 - n1).

# Prints "frames mean-ms" of a run that stops after frame $1.
stats() {
    (cd "$play" && SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe \
        LP_NUM_THREADS=2 ENGINE_FIXED_FRAME_TIME=0.016666668 ENGINE_RANDOM_SEED=1 \
        ENGINE_FRAME_STATS=1 ENGINE_FRAME_LIMIT="$1" ENGINE_INPUT_SCRIPT="$input" \
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
    [ -n "$a" ] && [ -n "$b" ] || { echo "$label: no frame figures" >&2; exit 1; }
    ms=$(echo "$a $b" | awk '{ printf "%.2f", ($3 * $4 - $1 * $2) / ($3 - $1) }')
    echo "run $i: frames $first..$last mean step $ms ms (whole runs: $a / $b)"
    sum=$(echo "$sum $ms" | awk '{ print $1 + $2 }')
    i=$((i + 1))
done
