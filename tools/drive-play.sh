#!/bin/sh
# Plays the sample through ./play.sh with xdotool, as a player would, in the
# X display of the caller (for example under
#   xvfb-run -a -s "-screen 0 1024x768x24" tools/drive-play.sh).
# Run 1: "New Game", mission 1's route (the key in RoomA's north-west corner,
# along the north wall through the door, RoomC's north wall to the exit),
# "Save" at the offer into slot 1, "Continue" to mission 2; there Esc,
# "Save Game", slot 1 again, "Yes" to "Overwrite the saved game?", and
# "Quit". Run 2: "Load Game", slot 1, then the frame limit. The engine's own
# captures (every 4 frames, through ENGINE_INPUT_SCRIPT) only tell the driver
# which frame the game is at, and a fixed frame time makes a frame the same
# step of game time however fast the display is; every click, key and motion
# comes from xdotool. The menus' cursor moves 2/3 of a menu unit per pixel of
# mouse motion. Prints what it finds; the exit status is 0 when both runs end
# as they should.
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
    ENGINE_FIXED_FRAME_TIME=0.016666668 ENGINE_INPUT_SCRIPT="$work/caps.txt" \
        ENGINE_FRAME_LIMIT=$1 ./play.sh \
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
save="$G/SaveGames/SaveGame"
inode() { stat -c %i "$save" 2>/dev/null || echo none; }
start 3600
click 6; echo "title: New Game"
# The route, running along the walls: ahead to RoomA's north wall, left into
# its north-west corner over the key, right along the wall through the door
# the key opens into RoomC, and left along RoomC's north wall into the exit.
at 100 && xdotool keydown Shift_L keydown w
at 340 && xdotool keyup w keydown a
at 460 && xdotool keyup a keydown d keydown w
at 700 && xdotool keyup d keydown a
at 1000 && xdotool keyup a keyup w keyup Shift_L
echo "mission 1: walked the route"
# The offer: down to "Save", right to slot 1, back up to "Continue".
at 1040 && move 0 60; click 1050; echo "save offer: Save"
sweep 1110 30 0 25; at 1135 && move 60 17; click 1145; echo "slot 1"
sweep 1240 -30 0 26; at 1266 && move 0 -74
first=$(inode)
click 1280; echo "save offer: Continue"
# Mission 2: the pause menu opens on "Resume" (100, 70); "Save Game" at
# (100, 150), slot 1 at (600, 100), the question's "Yes" at (270, 430),
# "Quit" at (100, 250).
at 1540 && xdotool keydown Escape; at 1542 && xdotool keyup Escape; echo "mission 2: Esc"
sweep 1550 0 30 4; click 1570; echo "pause menu: Save Game"
sweep 1600 30 0 25; at 1625 && move 0 -75; click 1640; echo "slot 1 (used)"
sweep 1700 -33 33 15; click 1730; echo "Overwrite the saved game?: Yes"
sweep 1800 -17 -18 15; click 1830; echo "pause menu: Quit"
finish
echo "run 1: engine exit $rc"
[ "$rc" -eq 0 ] || fail "run 1 should end with 0"
[ -s "$work/err" ] && fail "run 1 wrote to stderr: $(head -3 "$work/err")"
# Each save replaces the index by renaming a new file over it.
[ "$first" != none ] || fail "the offer saved nothing"
[ "$(inode)" != "$first" ] || fail "the pause menu's Yes did not save over slot 1"
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
# Mission 2 plays: the soul gauge's blue icon (0x2060E0) and the yard's sky
# (0x4080BF; mission 1's rooms have ceilings) cover their share of the
# capture, 32-bit BGRA after an 18-byte header.
counts="0 0"
[ -f "$work/last.tga" ] && counts=$(od -An -v -tu1 -w4 -j18 "$work/last.tga" | awk '
    function near(v, w) { return v >= w - 8 && v <= w + 8 }
    near($1, 224) && near($2, 96) && near($3, 32) { soul++ }
    near($1, 191) && near($2, 128) && near($3, 64) { sky++ }
    END { print soul + 0, sky + 0 }')
set -- $counts
echo "mission 2 at frame 1404: $1 soul icon pixels, $2 sky pixels"
[ "$1" -ge 1000 ] && [ "$2" -ge 20000 ] || fail "mission 2 was not loaded"

[ "$failed" -eq 0 ] && echo "both runs played as expected"
exit "$failed"
