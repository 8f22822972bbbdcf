#!/bin/bash
# The real game under Xvfb: the title menu wipes in, a click between buttons does
# nothing, Quit ends the process with status 0.
. "$(dirname "$0")/lib.sh"

start_display
make_run_dir
start_game

white="255 255 255"
grey="40 40 40"
title_is_shown() {
    screen_shows 5 5 "$grey" && [ "$(pixel 272 234)" = "$white" ] &&
        [ "$(pixel 368 416)" = "$white" ] && [ "$(pixel 635 475)" = "$grey" ]
}
wait_for 10 title_is_shown || fail "the title menu did not appear"
keep_shot_after_wipe title_menu
# Every button outline, and something of each label inside it.
for y in 234 284 334 384; do
    [ "$(pixel 272 $y)" = "$white" ] || fail "outline missing at y $y"
    [ "$(pixel 271 $y)" = "$grey" ] || fail "outline too wide at y $y"
done
label_pixels=0
for x in $(seq 290 350); do
    [ "$(pixel $x 248)" = "$white" ] && label_pixels=$((label_pixels + 1))
done
[ $label_pixels -gt 3 ] || fail "no label text in the Start Game button"

# Pressed between Start Game and Highscores, for longer than a few frames.
xdotool mousemove 320 275 mousedown 1
wait_for 1 false
xdotool mouseup 1
game_running || fail "a click between buttons ended the game"
title_is_shown || fail "a click between buttons left the title menu"

xdotool mousemove 320 400 mousedown 1
wait_game_exit 5
xdotool mouseup 1
[ "$exit_status" -eq 0 ] || fail "Quit ended with status $exit_status"
[ -f "$run/KZ DATA/stats.dat" ] || echo "note: no statistics file written yet"
echo "PASS"
