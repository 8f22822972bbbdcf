#!/bin/bash
# A round in the real game: Start Game shows the heads-up display and falling blocks, a
# click makes the player dash off the floor, and with no input the clock runs out by
# itself and the game moves on to the highscore screen. A press held from one screen never
# acts on the next, however the pointer moves.
. "$(dirname "$0")/lib.sh"

start_display
make_run_dir
start_game
wait_for 10 on_title_menu || fail "no title menu"
press_until 5 320 250 in_round || fail "Start Game did not start a round"
# The first frame has no band yet; the stage banner is held over it for 1.5 s.
stage_banner_shown() { in_round && [ "$(count 150 160 408 230 "$grey")" -lt 14000 ]; }
wait_for 3 stage_banner_shown || fail "no stage banner at the start of the round"
keep_shot round_start

# Blocks fall in the middle columns (centres 192 to 480); look above the stage banner.
blocks_falling() { in_round && [ "$(count 160 0 512 140 "$grey")" -lt 48500 ]; }
wait_for 15 blocks_falling || fail "no falling blocks"
keep_shot round_blocks

# Left of every block column the field is plain grey unless the player is there.
player_in_the_air() { shot && [ "$(count 96 290 150 400 "$grey")" -lt 5600 ]; }
player_in_the_air && fail "the player is in the air before any click"
press_until 3 120 340 player_in_the_air || fail "the player did not dash to the click"
keep_shot round_dash

# Held through Esc and moved onto Return to Title: the menu stays.
paused() { shot && [ "$(pixel 272 234)" = "$white" ] && [ "$(pixel 368 316)" = "$white" ] && [ "$(pixel 5 5)" = "$black" ]; }
move_to 200 200
xdotool mousedown 1
key_until 5 Escape paused || fail "Esc did not pause"
xdotool mousemove 320 300 sleep 0.3 mousemove 322 302 sleep 0.3 mousemove 320 300 sleep 0.5
paused || fail "a press held from the round acted on the pause menu"
xdotool mouseup 1
# Held on Return to Title and nudged on the title, where Highscores is: the title stays.
xdotool mousedown 1
wait_for 5 on_title_menu || fail "Return to Title did not return"
xdotool mousemove 322 302 sleep 0.3 mousemove 320 300 sleep 0.5
on_title_menu || fail "the press held from the pause menu acted on the title"
xdotool mouseup 1
press_until 5 320 250 in_round || fail "Start Game did not start a second round"

# Untouched blocks reach the floor and cost five seconds each, so the round ends soon.
wait_for 120 on_highscore_table || fail "the round did not end by itself"
game_running || fail "the game ended after the round"
keep_shot_after_wipe highscore_table
echo "PASS"
