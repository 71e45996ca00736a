#!/bin/sh
# Plays the sample as a new player would, reading what the game says rather
# than the README, and keeps a named capture (32-bit TGA) of each step in
# the folder given (default build/release/play-through). Run 1: the title,
# "New Game"; mission 1's notice; to the door in the north wall, which says
# it is locked and that its key lies in the north-west corner, to its left;
# along the wall towards the key, gold under its "KEY" (which passes behind
# the notice), and into the corner; back to the door, open now, and into the
# room beyond, where the exit is marked and its crate stands; the pause menu
# with the objective, its options (key names as words, a row lit under the
# pointer, "Press a key", Tab and left Ctrl bound; Tab walks on), the exit, "Save"
# into slot 1 ("Saved"), "Continue"; mission 2's notice, its way to the exit
# in the far corner; the end without the head-up display, and the title
# again; "Load Game", slot 1, mission 2 with Tab still Forward's key; there
# the pause menu's save over slot 1 ("Overwrite the saved game?", "Saving"),
# the page opened again, and "Load Game" ("Quit the current game?"). Run 2:
# "New Game" again, into the metal room where the guard patrols, caught
# three times (the third into the dungeon cell), out of the
# cell and caught a fourth time: the death menu. Run 3: the mission clock
# runs out. Run 4: along every wall of both missions' rooms, turning in each
# corner, with the follow camera behind the hero: he must be in view in 95 %
# of its captures. Run 5: both missions to the title and "New Game" again,
# where mission 1's doorway must look as it did in the first game. The
# engine takes the script's keys, clicks and motions as real input
# (ENGINE_INPUT_SCRIPT), a fixed frame time and seed make each run the
# same, and without a display it runs offscreen. Prints what it finds; the exit status is 0 when every
# step looked as it should.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
out=${1:-$root/build/release/play-through}
mkdir -p "$out" || exit 2
out=$(cd "$out" && pwd)
G=$root/build/release/sample/game
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# --- the script's lines ------------------------------------------------------
ev() { echo "$1 $2" >> "$script"; }
key() { ev "$1" "key down $3"; ev "$2" "key up $3"; }
click() { ev "$1" "button down 1"; ev $(($1 + 2)) "button up 1"; }
shot() { ev "$1" "capture shots/$2.tga"; }
# Moves the menus' cursor by ($3, $4) pixels once a frame from frame $1 on,
# $2 times (2/3 of a menu unit a pixel).
sweep() {
    f=$1
    while [ "$f" -lt $(($1 + $2)) ]; do ev "$f" "motion $3 $4"; f=$((f + 1)); done
}

# Turns the hero by $2 pixels of mouse motion a frame for nine frames from
# frame $1 on: 100 turns him about a quarter turn.
turn() { f=$1; while [ "$f" -lt $(($1 + 9)) ]; do ev "$f" "motion $2 0"; f=$((f + 1)); done; }

# Keys (Windows virtual keys): W A S D, left Shift (run while held), Esc,
# Tab, left Ctrl.
W=0x57 A=0x41 D=0x44 SHIFT=0xA0 ESC=0x1B TAB=0x09 LCTRL=0xA2

run() { # $1 frame limit, $2 log name
    rm -rf "$G/shots" "$G/SaveGames"
    mkdir -p "$G/shots" "$G/SaveGames"
    SDL_VIDEODRIVER=${SDL_VIDEODRIVER:-$([ -n "${DISPLAY:-}" ] && echo x11 || echo offscreen)} \
        SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} ENGINE_FIXED_FRAME_TIME=0.016666668 \
        ENGINE_RANDOM_SEED=1 ENGINE_DRAW_CAPTURED_ONLY=1 ENGINE_INPUT_SCRIPT="$script" \
        ENGINE_FRAME_LIMIT="$1" \
        ./play.sh > "$work/$2.out" 2> "$work/$2.err"
    rc=$?
    for f in "$G"/shots/*.tga; do [ -f "$f" ] && mv "$f" "$out/"; done
}

# play.sh builds what is out of date and writes the sample folder anew when
# its generator is newer: a first run of one frame does that before the
# captures' folder is made.
script=$work/none.txt
: > "$script"
run 1 build
[ "$rc" -eq 3 ] || { echo "play-through.sh: ./play.sh failed: $(tail -3 "$work/build.err")"; exit 2; }

# --- run 1: through both missions to the end and back to the title ----------
script=$work/run1.txt
: > "$script"
shot 4 01_title
click 6                              # "New Game", under the cursor
shot 250 02_mission1_notice          # "Find the key and reach the exit: ..."
# The notice names the door in the north wall: there, running.
key 160 720 $SHIFT
key 160 310 $W
key 310 370 $D
shot 380 03_door_locked              # "The door is locked. Its key lies in ..."
# Along the wall into the room's north-west corner, where the key lies.
key 380 490 $A
shot 470 03b_key_ahead               # the key, gold under "KEY", by the wall ahead
shot 552 03c_key_behind_the_notice  # "KEY" passing behind the notice's bar
key 500 600 $D
shot 680 04_key_taken                # the chime, the key beside the weapon panel
# Through the open door: the room beyond, its exit marked.
key 600 720 $W
shot 700 05a_crate_from_the_doorway  # CrateC, to the left, lit evenly
shot 720 05_exit_marked
# The pause menu: the objective; "Options" below "Resume".
key 740 742 $ESC
shot 760 06_pause_objective
sweep 770 1 0 60
click 780
shot 800 07_options_key_words
sweep 810 15 33 0                    # over the row of "Forward"
shot 830 08_options_row_lit
click 840
shot 860 09_options_press_a_key
key 880 882 $TAB
shot 900 10_options_tab
sweep 910 1 0 60                     # the row of "Back"
click 920
key 960 962 $LCTRL
shot 980 11_options_left_ctrl
sweep 990 15 -33 0                   # "Back", then "Resume"
sweep 1005 1 0 -60
click 1010
sweep 1030 1 0 -60
click 1040
# On to the exit in the far corner, as the objective says. Forward is Tab
# now: the row bound it as the primary key and kept Up beside it, so W no
# longer walks; the binding holds through mission 2 as well.
key 1060 1360 $TAB
key 1060 1360 $A
key 1060 1360 $SHIFT
shot 1370 12_level_completed
# "Save", slot 1, then "Continue" once "Saved" shows.
o=1380
sweep $((o + 10)) 1 0 60
click $((o + 20))
shot $((o + 40)) 13_save_slots
sweep $((o + 50)) 25 30 0
sweep $((o + 75)) 1 0 -15
click $((o + 85))
shot $((o + 140)) 14_saved
sweep $((o + 150)) 25 -30 0
sweep $((o + 175)) 1 0 -45
click $((o + 185))
# Mission 2, as its notice says: east to the gap at the east end of the
# middle wall, north through it past the Lookout, west along the far wall
# into the exit in its corner. The mouse turns the hero (about 90 degrees
# for 900 pixels); he runs the way he looks.
m=1420
shot $((m + 330)) 15_mission2_notice
turn $((m + 200)) 100
# Each leg runs on until a wall stops him: east to the yard's east wall, north
# to its far wall (east of the Lookout's pillar), west into the exit.
key $((m + 220)) $((m + 1200)) $SHIFT
key $((m + 220)) $((m + 520)) $TAB
turn $((m + 525)) -100
key $((m + 540)) $((m + 830)) $TAB
shot $((m + 700)) 16_mission2_past_the_lookout
turn $((m + 835)) -100
key $((m + 850)) $((m + 1200)) $TAB
shot $((m + 960)) 17_mission2_exit
# The last exit offers no save: the end follows at once.
e=$((m + 1280))
shot $((e + 200)) 18_the_end
shot $((e + 620)) 19_title_again
# "Load Game", below "New Game"; slot 1, saved at mission 1's exit, loads
# mission 2, where Options still shows Tab as Forward's key.
t=$((e + 640))
sweep $t 1 0 60
click $((t + 10))
shot $((t + 30)) 19b_load_game_slots
sweep $((t + 40)) 25 30 0
sweep $((t + 65)) 1 19 -15
shot $((t + 70)) 19c_load_slot1
click $((t + 72))
shot $((t + 400)) 19d_loaded_mission2
key $((t + 410)) $((t + 412)) $ESC
sweep $((t + 420)) 1 0 60
click $((t + 430))
shot $((t + 450)) 19e_loaded_options
# "Back" (where the click on "Options" left the cursor); "Save Game" and
# slot 1, used, ask "Overwrite the saved game?"; "Yes" saves ("Saving",
# then "Saved" below the page); "Resume" and Esc open the page again,
# without that "Saved"; "Load Game" and slot 1 ask "Quit the current
# game?". Each panel and question stands clear of the page's buttons.
u=$((t + 460))
click $u
sweep $((u + 10)) 1 0 65             # "Save Game"
click $((u + 20))
sweep $((u + 30)) 25 31 0            # slot 1
sweep $((u + 55)) 1 0 -78
click $((u + 65))
shot $((u + 85)) 29_overwrite_question
sweep $((u + 90)) 17 -30 0           # "Yes"
sweep $((u + 107)) 12 0 43
click $((u + 125))
shot $((u + 129)) 30_saving
sweep $((u + 180)) 5 -53 0           # "Resume"
sweep $((u + 185)) 10 0 -56
click $((u + 200))
key $((u + 240)) $((u + 242)) $ESC
shot $((u + 260)) 31_pause_page_again
sweep $((u + 270)) 1 0 185           # "Load Game"
click $((u + 280))
sweep $((u + 290)) 25 31 0           # slot 1
sweep $((u + 315)) 1 0 -141
click $((u + 325))
shot $((u + 345)) 32_quit_question
run $((u + 350)) run1
echo "run 1: engine exit $rc"
[ "$rc" -eq 3 ] || fail "run 1 should end at its frame limit (3)"

# --- run 2: caught by the guard four times -----------------------------------
script=$work/run2.txt
: > "$script"
click 6
# North to the middle of the room, a quarter turn right, east past the two
# big spheres on their south side, a little left, and on through the
# opening in the east wall into the metal room, where the guard walks.
key 160 520 $SHIFT
key 160 222 $W
turn 227 110
key 242 350 $W
turn 351 -26
key 362 520 $W
shot 1000 20_caught_once             # 69 left of 99
shot 3500 21_caught_three_times      # 9 left, about to be taken away
# Taken into the dungeon cell: half a turn, out through the opening in its
# west wall, a quarter turn right and into the guard's way again.
shot 3760 22_in_the_dungeon_cell
turn 3800 -100
turn 3809 -100
key 3830 4000 $SHIFT
key 3830 3910 $W
turn 3920 100
key 3940 4000 $W
shot 4100 23_out_of_the_cell
shot 4500 24_death_menu              # "You died": "Try Again", "Load Game"
click 4550                           # "Try Again", under the cursor
shot 4800 25_tried_again
run 4820 run2
echo "run 2: engine exit $rc"
[ "$rc" -eq 3 ] || fail "run 2 should end at its frame limit (3)"

# --- run 3: the mission clock runs out ---------------------------------------
script=$work/run3.txt
: > "$script"
click 6
shot 17900 26_last_minute            # the clock in its last minute
shot 18300 27_time_is_up             # the death menu, "Time is up"
run 18310 run3
echo "run 3: engine exit $rc"
[ "$rc" -eq 3 ] || fail "run 3 should end at its frame limit (3)"

# --- run 4: along every wall, with the camera behind the hero ----------------
# Mission 1: round RoomA's walls (over the key), up to the ball with the
# camera swung round to the big sphere over it, round RoomB's (the dungeon
# cell's outer walls), back through RoomA and the open door round RoomC's into its exit;
# "Continue"; round mission 2's yard on both sides of the middle wall into
# its exit. Each leg runs until a wall or a piece stops the hero; he turns
# standing, a quarter turn (981 pixels) at a time, and the camera settles
# behind him before he runs on. Every 20 frames of the walks a capture
# "cam_<frame>", kept only when it does not show him; a few named ones are
# kept as well.
script=$work/run4.txt
: > "$script"
rm -f "$out"/cam_*.tga
f=0       # the frame the next step starts at
first=0   # the frames with captures: first..last of each mission
leg() { key $f $(($f + $1)) ${2:-$W}; key $f $(($f + $1)) $SHIFT; f=$(($f + $1 + 10)); }
right() { turn $f 109; f=$(($f + 40)); }
left() { turn $f -109; f=$(($f + 40)); }
back() { turn $f 109; turn $(($f + 9)) 109; f=$(($f + 50)); }
walked() { # captures of the frames walked since the last call, up to $1
    c=$first
    while [ "$c" -lt "$1" ]; do shot $c "cam_$(printf %05d $c)"; c=$(($c + 20)); done
}
click 6
first=150 f=160
back; leg 50                          # the south wall
right; leg 50                         # the south-west corner
shot $(($f - 2)) 28_camera_sw_corner_before
right; leg 200                        # north over the key into the north-west corner
shot $(($f - 50)) 28_camera_sw_corner_after
right; leg 142                        # east along the north wall
right; leg 30                         # south, up to the ball
back                                  # the camera swings round to the big sphere over the ball
shot $(($f + 30)) 28_camera_before_the_sphere
f=$(($f + 40)); leg 40
right; leg 80                         # the north-east corner
right; leg 200                        # the south-east corner
right; leg 12                         # west, round the Companion and the cupboard
leg 40 $D; leg 50; leg 40 $A
leg 150                               # the south-west corner
right; leg 95
right; leg 205                        # east, through the opening into RoomB
right; leg 120                        # its south-west corner
left; leg 110                         # along its south wall
left; leg 66                          # past the dungeon cell's west wall
right; leg 80                         # along its north wall
left; leg 150                         # north
right; leg 30                         # the north-east corner
back; leg 180                         # along the north wall to the Lookout
left; leg 90
right; leg 48                         # back into RoomA
right; leg 86
left; leg 92                          # before the door
right; leg 110                        # through it into RoomC
right; leg 110                        # its east wall
left; leg 200                         # the north-east corner
left; leg 140                         # along the north wall, short of the exit
left; leg 200                         # south
right; leg 60                         # the south-west corner
right; walked $(($f + 160)); leg 200  # north into the exit
f=$(($f - 10)); click $f              # "Continue", under the cursor
f=$(($f + 290)); first=$f
back; leg 40                          # mission 2: the south wall
right; leg 55                         # the south-west corner
right; leg 140                        # the middle wall
right; leg 285                        # along it, past its east end, to the east wall
right; leg 140                        # the south-east corner
shot $(($f - 2)) 28_camera_yard_corner_before
right; leg 235                        # along the south wall
shot $(($f - 150)) 28_camera_yard_corner_after
back; leg 235
left; leg 285                         # north through the gap into the north-east corner
left; leg 230                         # along the north wall, short of the exit
left; leg 140                         # the middle wall's north side
right; leg 65                         # the west wall
right; walked $(($f + 80)); leg 120   # north into the exit
run $f run4
echo "run 4: engine exit $rc"
[ "$rc" -eq 3 ] || fail "run 4 should end at its frame limit (3)"

# --- run 5: the whole game twice -----------------------------------------------
# Mission 1's way through the doorway, mission 2's to its exit, the end and
# the title, then "New Game" again and mission 1's way once more: the second
# game plays as the first. Its captures of the doorway stay in the work
# folder (kept in the captures' folder when they differ): they must equal
# the first game's but for the campfire's and the torch's particles, which
# the random generator, seeded once at start-up, draws anew.
script=$work/run5.txt
: > "$script"
mission1() { # $1 the frame of the click on "New Game", $2 the captures' prefix
    o=$(($1 - 6))
    key $((o + 160)) $((o + 720)) $SHIFT
    key $((o + 160)) $((o + 310)) $W
    key $((o + 310)) $((o + 370)) $D
    key $((o + 380)) $((o + 490)) $A
    key $((o + 500)) $((o + 600)) $D
    key $((o + 600)) $((o + 720)) $W
    shot $((o + 700)) "$2_doorway"
    shot $((o + 720)) "$2_doorway_later"
}
click 6
mission1 6 game1
# On to the exit without the pause menu, "Continue" (under the cursor) and
# mission 2's way as run 1 takes it.
key 740 1040 $W
key 740 1040 $A
key 740 1040 $SHIFT
click 1050
m=905
turn $((m + 200)) 100
key $((m + 220)) $((m + 1200)) $SHIFT
key $((m + 220)) $((m + 520)) $W
turn $((m + 525)) -100
key $((m + 540)) $((m + 830)) $W
turn $((m + 835)) -100
key $((m + 850)) $((m + 1200)) $W
# "New Game" on the title again, under the cursor's start.
t=$((m + 1920))
click $t
mission1 $t game2
run $((t + 730)) run5
echo "run 5: engine exit $rc"
[ "$rc" -eq 3 ] || fail "run 5 should end at its frame limit (3)"
mkdir -p "$work/run5"
for f in game1_doorway game1_doorway_later game2_doorway game2_doorway_later; do
    if [ -f "$out/$f.tga" ]; then mv "$out/$f.tga" "$work/run5/"; else fail "run 5: no capture $f"; fi
done
for f in doorway doorway_later; do
    a=$work/run5/game1_$f.tga b=$work/run5/game2_$f.tga
    [ -f "$a" ] && [ -f "$b" ] || continue
    n=$(cmp -l "$a" "$b" | wc -l)
    if [ "$n" -le 2000 ]; then
        echo "run 5: the second game's $f as the first's ($n bytes differ)"
    else
        cp "$a" "$b" "$out/"
        fail "run 5: the second game's $f is not the first's: $n bytes differ"
    fi
done

# --- what the captures show ---------------------------------------------------
# Pixels of a capture (32-bit BGRA after an 18-byte header, bottom row
# first, 800 x 600) in the box x0 y0 x1 y1 within $tolerance of the colour
# r g b.
tolerance=24
count() {
    [ -f "$out/$1.tga" ] || { echo 0; return; }
    od -An -v -tu1 -w4 -j18 "$out/$1.tga" | awk -v x0="$2" -v y0="$3" -v x1="$4" -v y1="$5" \
        -v r="$6" -v g="$7" -v b="$8" -v t="$tolerance" '
        function near(v, w) { return v >= w - t && v <= w + t }
        { p = NR - 1; x = p % 800; y = 599 - int(p / 800) }
        x >= x0 && x < x1 && y >= y0 && y < y1 && near($3, r) && near($2, g) && near($1, b) { n++ }
        END { print n + 0 }'
}
# "name" "what it shows" minimum x0 y0 x1 y1 r g b
expect() {
    n=$(count "$1" "$4" "$5" "$6" "$7" "$8" "$9" "${10}")
    if [ "$n" -ge "$3" ]; then echo "$1: $2 ($n)"; else fail "$1: $2: $n pixels"; fi
}
none() {
    n=$(count "$1" "$3" "$4" "$5" "$6" "$7" "$8" "$9")
    if [ "$n" -eq 0 ]; then echo "$1: $2"; else fail "$1: $2: $n pixels"; fi
}
for f in 01_title 02_mission1_notice 03_door_locked 03b_key_ahead 04_key_taken 05_exit_marked \
    06_pause_objective 07_options_key_words 08_options_row_lit 09_options_press_a_key \
    10_options_tab 11_options_left_ctrl 12_level_completed 13_save_slots 14_saved \
    15_mission2_notice 16_mission2_past_the_lookout 17_mission2_exit 18_the_end \
    19_title_again 19b_load_game_slots 19c_load_slot1 19d_loaded_mission2 \
    19e_loaded_options 03c_key_behind_the_notice 05a_crate_from_the_doorway \
    29_overwrite_question 30_saving 31_pause_page_again 32_quit_question \
    20_caught_once 21_caught_three_times 22_in_the_dungeon_cell \
    23_out_of_the_cell 24_death_menu 25_tried_again 26_last_minute 27_time_is_up \
    28_camera_sw_corner_before 28_camera_sw_corner_after 28_camera_before_the_sphere \
    28_camera_yard_corner_before 28_camera_yard_corner_after; do
    [ -f "$out/$f.tga" ] || fail "no capture $f"
done
backdrop="28 33 48"
notice="255 242 191"
expect 01_title "the menus' backdrop" 100000 300 200 800 600 $backdrop
# The notices' text, a little darker while the fade from black ends.
tolerance=60
for f in 02_mission1_notice 03_door_locked 04_key_taken 15_mission2_notice; do
    expect "$f" "a notice over the game" 200 80 90 720 150 $notice
done
tolerance=24
expect 03b_key_ahead "the key in gold ahead" 500 0 200 800 600 252 204 44
expect 04_key_taken "the key beside the weapon panel" 200 570 500 630 560 236 184 58
# The exits' squares, far off: thin strips of green at the far floor.
expect 05_exit_marked "the exit's green square" 150 0 100 800 600 26 191 64
expect 17_mission2_exit "the exit's green square" 150 0 100 800 600 26 191 64
expect 06_pause_objective "the objective at the foot of the pause page" 100 60 535 760 580 $notice
expect 08_options_row_lit "the row under the pointer lit" 300 310 90 550 130 255 191 51
expect 09_options_press_a_key "the row waiting for its key" 1000 320 95 540 125 140 97 20
expect 14_saved "\"Saved\" below the offer" 20 130 150 210 180 140 255 140
none 18_the_end "no head-up display at the end" 0 440 800 600 32 96 224
expect 19_title_again "the same backdrop as at start-up" 100000 300 200 800 600 $backdrop
expect 19d_loaded_mission2 "the loaded mission's head-up display" 200 0 440 800 600 32 96 224
expect 24_death_menu "the death menu" 100000 300 200 800 600 $backdrop
expect 27_time_is_up "the death menu when the clock runs out" 100000 300 200 800 600 $backdrop
# CrateC seen from RoomC's doorway (the face towards it, left of the
# hero): even, without the light stripes that the caps of its own shadow
# left on it while it was drawn before the shadows. A stripe pixel is
# brighter (r + g + b) by more than 120 than the pixel two rows below it.
stripes() {
    od -An -v -tu1 -w4 -j18 "$out/$1.tga" | awk -v x0="$2" -v y0="$3" -v x1="$4" -v y1="$5" '
        { p = NR - 1; x = p % 800; y = 599 - int(p / 800) }
        x >= x0 && x < x1 && y >= y0 && y < y1 + 2 { l[x, y] = $1 + $2 + $3 }
        END {
            for (x = x0; x < x1; x++)
                for (y = y0; y < y1; y++) if (l[x, y] - l[x, y + 2] > 120) n++
            print n + 0
        }'
}
n=$(stripes 05a_crate_from_the_doorway 2 256 56 385)
if [ -f "$out/05a_crate_from_the_doorway.tga" ] && [ "$n" -eq 0 ]; then
    echo "05a_crate_from_the_doorway: the crate's face even"
else
    fail "05a_crate_from_the_doorway: $n light stripe pixels on the crate"
fi
# The notice stands over the world's labels: "KEY", passing behind it,
# shows none of its gold there. The save flow's panels and questions stand
# clear of the pause page's "Quit" (its face whole), and the page opened
# again shows no "Saved" from before.
none 03c_key_behind_the_notice "\"KEY\" behind the notice" 80 88 720 152 255 204 77
for f in 29_overwrite_question 30_saving 32_quit_question; do
    expect "$f" "the page's \"Quit\" whole beside the panel" 4250 80 233 260 267 41 66 128
done
none 31_pause_page_again "no \"Saved\" from before" 130 285 210 305 140 255 140
# Closed from "Resume" and opened again over it: "Resume" lights at once.
expect 31_pause_page_again "\"Resume\" lit under the cursor" 1000 70 45 270 95 255 191 51
# Run 4's captures: the hero is in view when his tunic's purple (red and
# blue alike, green under half of either) shows in the middle of the screen
# (x 200-600, y 150-600; every second pixel of every second row, each read
# as one 32-bit word B + 256 G + 65536 R + ...): 50 such pixels.
tunic() {
    od -An -v -tu4 -w3200 -j18 -N 1440000 "$1" | awk '
        NR % 2 == 1 {
            for (x = 201; x <= 600; x += 2) {
                v = $x; b = v % 256; g = int(v / 256) % 256; r = int(v / 65536) % 256
                if (r >= 30 && b >= 30 && r > 2 * g && b > 2 * g && (r > b ? r - b : b - r) * 3 < r + b) n++
            }
        }
        END { print n + 0 }'
}
seen=0 shots=0
for f in "$out"/cam_*.tga; do
    [ -f "$f" ] || continue
    shots=$(($shots + 1))
    # Kept only when he is not in it.
    if [ "$(tunic "$f")" -ge 50 ]; then seen=$(($seen + 1)); rm -f "$f"; fi
done
share=$(awk -v s="$seen" -v n="$shots" 'BEGIN { printf "%.1f", (n > 0 ? 100 * s / n : 0) }')
if [ "$shots" -gt 0 ] && [ $(($seen * 100)) -ge $(($shots * 95)) ]; then
    echo "run 4: the hero in view in $seen of $shots captures ($share %)"
else
    fail "run 4: the hero in view in $seen of $shots captures ($share %), not 95 %"
fi
[ "$failed" -eq 0 ] && echo "every step looked as it should"
exit "$failed"
