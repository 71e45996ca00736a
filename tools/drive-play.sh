#!/bin/sh
# Plays the sample through ./play.sh with xdotool, as a player would, in the
# X display of the caller (for example under
#   xvfb-run -a -s "-screen 0 1024x768x24" tools/drive-play.sh).
# Run 1: "New Game", walk into the exit, "Save" at the offer into slot 1,
# continue to mission 2, Esc and "Quit". Run 2: "Load Game", slot 1, then
# the frame limit. The engine's own captures (every 4 frames, through
# ENGINE_INPUT_SCRIPT) only tell the driver which frame the game is at; every
# click, key and motion comes from xdotool. Prints what it finds; the exit
# status is 0 when both runs end as they should.
set -u
cd "$(dirname "$0")/.."
command -v xdotool >/dev/null || { echo "drive-play.sh: xdotool is missing" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || { echo "drive-play.sh: no X display" >&2; exit 2; }

G=build/release/sample/game
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Writes the capture lines for frames 4, 8, ... $1.
captures() {
    i=4
    while [ "$i" -le "$1" ]; do echo "$i capture cap_$i.tga"; i=$((i + 4)); done > "$work/caps.txt"
}

# Waits until frame $1 has been captured; drops older captures.
at() {
    n=$(( ($1 + 3) / 4 * 4 ))
    while [ ! -f "$G/cap_$n.tga" ]; do
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.02
    done
    for c in "$G"/cap_*.tga; do
        m=${c##*cap_}; m=${m%.tga}
        [ "$m" -lt "$n" ] 2>/dev/null && rm -f "$c"
    done
    return 0
}

down() { xdotool mousedown 1; }
up() { xdotool mouseup 1; }
move() { xdotool mousemove_relative -- "$1" "$2"; }
click() { at "$1" && down; at $(($1 + 2)) && up; }
# Moves by ($2, $3) once a frame from frame $1 on, $4 times.
sweep() {
    f=$1
    while [ "$f" -lt $(($1 + $4)) ]; do at "$f" && move "$2" "$3"; f=$((f + 1)); done
}

start() {
    captures "$1"
    ENGINE_INPUT_SCRIPT="$work/caps.txt" ENGINE_FRAME_LIMIT=$1 ./play.sh \
        > "$work/out" 2> "$work/err" &
    pid=$!
}

finish() {
    wait "$pid"
    rc=$?
    rm -f "$G"/cap_*.tga
}

# --- run 1 --------------------------------------------------------------------
rm -rf "$G"/cap_*.tga "$G/SaveGames"
mkdir -p "$G/SaveGames"
start 3000
click 6; echo "title: New Game"
at 100 && xdotool keydown w; sleep 4; xdotool keyup w
r=$(ls "$G" | sed -n 's/^cap_\([0-9]*\)\.tga$/\1/p' | sort -n | tail -1)
r=${r:-300}
echo "walked with W to frame $r"
o() { echo $((r + $1 - 300)); }   # frames after the walk
at "$(o 320)" && move 0 60; click "$(o 330)"; echo "save offer: Save"
sweep "$(o 390)" 30 0 25; at "$(o 415)" && move 60 17; click "$(o 425)"; echo "slot 1"
sweep "$(o 520)" -30 0 26; at "$(o 546)" && move 0 -74; click "$(o 560)"; echo "continue"
at "$(o 820)" && xdotool keydown Escape; at "$(o 822)" && xdotool keyup Escape; echo "Esc"
click "$(o 840)"; echo "pause menu: Quit"
finish
echo "run 1: engine exit $rc"
[ "$rc" -eq 0 ] || fail "run 1 should end with 0"
[ -s "$work/err" ] && fail "run 1 wrote to stderr: $(head -3 "$work/err")"
save="$G/SaveGames/SaveGame"
if [ -f "$save" ]; then
    size=$(wc -c < "$save")
    words=$(od -An -v -tu4 -j8 "$save" | tr -s ' ' '\n' | grep -v '^$' |
            awk '$1 != 0 { printf "%d=%s ", NR - 1, $1 }')
    echo "SaveGame: $size bytes, non-zero words: $words"
    [ "$size" -eq 16496 ] || fail "SaveGame should be 16496 bytes"
    [ "$words" = "0=2 1=6 2=2 " ] || fail "SaveGame words should be 0=2 1=6 2=2"
else
    fail "no SaveGame"
fi
others=$(ls -A "$G/SaveGames" | grep -v '^SaveGame$')
[ -z "$others" ] || fail "left in SaveGames: $others"

# --- run 2 --------------------------------------------------------------------
[ -f "$save" ] && cp "$save" "$work/SaveGame.before"
start 1500
at 110 && move 0 60; click 120; echo "title: Load Game"
sweep 180 30 0 25; at 205 && move 60 17; click 215; echo "slot 1"
at 1404 && cp "$G/cap_1404.tga" "$work/last.tga"
finish
echo "run 2: engine exit $rc"
[ "$rc" -eq 3 ] || fail "run 2 should end at the frame limit (3)"
grep -qv '^frame limit reached$' "$work/err" && fail "run 2 wrote to stderr: $(head -3 "$work/err")"
cmp -s "$save" "$work/SaveGame.before" || fail "run 2 changed SaveGame"
# Mission 2's floor, "Floor2", is cyan; the capture is 32-bit BGRA after an
# 18-byte header.
floor2=0
[ -f "$work/last.tga" ] && floor2=$(od -An -v -tu1 -w4 -j18 "$work/last.tga" |
    awk '$1 >= 247 && $2 >= 247 && $3 <= 8 { n++ } END { print n + 0 }')
echo "mission 2 floor pixels at frame 1404: $floor2"
[ "$floor2" -ge 1000 ] || fail "mission 2 was not loaded"

[ "$failed" -eq 0 ] && echo "both runs played as expected"
exit "$failed"
