#!/bin/bash
# A player's whole journey in the real game: a round with a pause, a screenshot and a few
# dashes, a new highscore typed in, its replay watched from the table, Quit; the data
# files byte by byte and the replay checked by --verify; then a second start that shows
# the same table and totals; then a data folder shared with a friend and another version of
# the game, where nothing is deleted and the table's rows are clicked as buttons are.
. "$(dirname "$0")/lib.sh"

start_display
make_run_dir
# A table of zero scores, so the round (no blocks cut: score 0) ties the tenth and enters.
for i in 1 2 3 4 5 6 7 8 9 10; do printf 'A A A 0 1 \n'; done >"$run/KZ DATA/highscore.dat"

start_game
wait_for 10 on_title_menu || fail "no title menu"
# A click with no time between press and release, as a touchpad's tap can be.
move_to 320 250
xdotool mousedown 1 mouseup 1
wait_for 5 in_round || fail "a tap on Start Game did not start a round"

# Esc opens the pause menu: its two buttons over the frozen round.
paused() { shot && [ "$(pixel 272 234)" = "$white" ] && [ "$(pixel 368 316)" = "$white" ] && [ "$(pixel 5 5)" = "$black" ]; }
key_until 5 Escape paused || fail "Esc did not pause"
keep_shot pause_menu
key_until 5 Tab test -s "$run/trevik_screenshot.bmp" || fail "Tab wrote no screenshot"
identify "$run/trevik_screenshot.bmp" | grep -q " 640x480 " || fail "the screenshot is not 640x480"
# The screenshot is the last picture of play: no pause buttons on it.
convert "$run/trevik_screenshot.bmp" -depth 8 "$work/saved.ppm"
[ "$("$PROBE" "$work/saved.ppm" 272 234)" != "$white" ] || fail "the screenshot shows the menu"
resumed() { in_round && [ "$(pixel 272 234)" != "$white" ] && [ "$(pixel 368 316)" != "$white" ]; }
press_until 5 320 250 resumed || fail "Continue did not resume the round"

# A few dashes, then no more input: the clock runs out, and any score ties the table's
# tenth entry of 0.
for target in "200 120" "450 300" "300 60" "520 400" "150 250" "400 100"; do
    tap_at $target
    sleep 0.4
done
# The last picture of the round stays on screen under the time-up banner for 2 s.
time_up() { shot && [ "$(count 80 120 559 215 "150 18 40")" -gt 50 ]; }
wait_for 150 time_up || fail "the round did not run out"
cp "$work/shot.ppm" "$work/round_end.ppm"
name_entry() { shot && [ "$(count 250 150 273 157 "$white")" -eq 0 ] && [ "$(count 200 130 440 137 "$white")" -gt 20 ]; }
wait_for 120 name_entry || fail "no name entry after the round"
keep_shot name_entry
# Typed at an ordinary pace, each key held 150 ms and quickly followed by the next: every
# letter is typed once, and Enter taken too.
xdotool keydown d sleep 0.15 keyup d sleep 0.05 keydown o sleep 0.15 keyup o sleep 0.05 \
    keydown t sleep 0.15 keyup t sleep 0.05 keydown Return sleep 0.15 keyup Return
wait_for 5 on_highscore_table || fail "the typed name and Enter did not end the entry"
keep_shot_after_wipe highscore_entered
[ "$(count 250 130 273 137 "$yellow")" -gt 10 ] || fail "the new row is not yellow"
[ "$(count 250 150 273 157 "$yellow")" -eq 0 ] || fail "more than one row is yellow"
[ "$(count 386 130 396 137 "$yellow")" -gt 5 ] || fail "the new row shows no play mark"
[ "$(count 386 150 396 327 "$white")" -eq 0 ] || fail "a typed row shows a play mark"

# Its replay: the round's pictures with a REPLAY label, run fast while Space is held (for
# the first 12 s of the round only, so the time-up is seen at the normal pace), back to
# the table after its last frame. The last picture is the round's, the label aside.
replaying() { in_round && [ "$(count 16 440 63 447 "$yellow")" -gt 10 ]; }
move_to 300 133
xdotool mousedown 1
wait_for 5 replaying || fail "clicking the row did not play its replay"
xdotool mouseup 1
xdotool keydown space sleep 3 keyup space
wait_for 150 time_up || fail "the replay did not reach the time-up"
cp "$work/shot.ppm" "$work/replay_end.ppm"
keep_shot replay_end
unlabelled() { convert "$1" -fill black -draw "rectangle 0 430 95 479" "$2"; }
unlabelled "$work/round_end.ppm" "$work/round_end.png"
unlabelled "$work/replay_end.ppm" "$work/replay_end.png"
differ=$(compare -metric AE "$work/round_end.png" "$work/replay_end.png" null: 2>&1)
[ "$differ" = 0 ] || fail "the replay's last picture differs from the round's in $differ pixels"
wait_for 10 on_highscore_table || fail "the replay did not return to the table"

game_gone() { ! game_running; }
press_until 5 320 450 game_gone || fail "Quit did not end the game"
wait_game_exit 5
[ "$exit_status" -eq 0 ] || fail "Quit ended with status $exit_status"

# The replay beside the table gives the score the table shows; the files, byte by byte.
replays=("$run/KZ DATA"/replay-*.rpl)
[ ${#replays[@]} -eq 1 ] && [ -f "${replays[0]}" ] || fail "not one replay beside the table: ${replays[*]}"
"$GAME" --verify "${replays[0]}" >"$work/verify.out" 2>&1 || fail "--verify refused the saved replay: $(cat "$work/verify.out")"
grep -qx "name: DOT" "$work/verify.out" || fail "--verify did not name the round's player: $(cat "$work/verify.out")"
score=$(sed -n 's/^score: //p' "$work/verify.out")
blocks=$(sed -n 's/^blocks cut: //p' "$work/verify.out")
combo=$(sed -n 's/^best combo: //p' "$work/verify.out")
[ "$blocks" -gt 0 ] || echo "note: the dashes cut nothing this time" >&2
{ printf 'D O T %s 1 \n' "$score"; for i in 1 2 3 4 5 6 7 8 9; do printf 'A A A 0 1 \n'; done; } >"$work/expected.dat"
cmp "$run/KZ DATA/highscore.dat" "$work/expected.dat" || fail "highscore.dat differs: $(cat -A "$run/KZ DATA/highscore.dat")"
stats=$(cat "$run/KZ DATA/stats.dat")
[[ "$stats" =~ ^$blocks\ 1\ $combo\ $((score / 10))$'\n'0\ [0-9]+\ [0-9]+$ ]] ||
    fail "stats.dat is not the one finished round (watching is none): $(printf %s "$stats" | od -c)"
[ "$(tail -c 1 "$run/KZ DATA/stats.dat" | od -An -c | tr -d ' ')" != '\n' ] || fail "stats.dat ends with a line feed"

# A replay from anywhere: played in the window, ended with Esc; it changes no totals.
cp "${replays[0]}" "$work/shared.rpl"
start_game -- --window --replay "$work/shared.rpl"
wait_for 10 replaying || fail "--replay did not play the file"
key_until 5 Escape game_gone || fail "Esc did not end --replay"
wait_game_exit 5
[ "$exit_status" -eq 0 ] || fail "--replay ended with status $exit_status"
cmp <(printf %s "$stats") "$run/KZ DATA/stats.dat" || fail "watching a replay changed the statistics"
# The middle byte turned into another value (whatever it was, so never the same).
at=$(($(stat -c %s "$work/shared.rpl") / 2))
byte=$(od -An -tu1 -j"$at" -N1 "$work/shared.rpl" | tr -d ' ')
printf "\\$(printf %03o $(((byte + 1) % 256)))" | dd of="$work/shared.rpl" bs=1 seek="$at" conv=notrunc 2>/dev/null
cmp -s "${replays[0]}" "$work/shared.rpl" && fail "the replay was not changed"
! "$GAME" --verify "$work/shared.rpl" >/dev/null 2>"$work/verify.err" || fail "--verify passed a changed file"
grep -q "damaged" "$work/verify.err" || fail "--verify did not say the file is damaged: $(cat "$work/verify.err")"

# A second start sees the same table, and the statistics screen the same totals.
start_game
wait_for 10 on_title_menu || fail "no title menu on the second start"
press_until 5 320 300 on_highscore_table || { keep_shot failed_highscores; fail "Highscores did not show the table"; }
[ "$(count 250 130 273 137 "$white")" -gt 10 ] || fail "the saved row is missing"
[ "$(count 250 130 273 137 "$yellow")" -eq 0 ] || fail "a row is highlighted on a visit from the title"
keep_shot_after_wipe highscore_table_again
[ "$(count 386 130 396 137 "$white")" -gt 5 ] || fail "the saved row lost its play mark"
# A long click on Return to Title lands on the title menu, whose Quit sits in the same
# place: held on for another 0.6 s, it must not quit. It comes after the 500 ms in which a
# press would be the second half of a double-click on Highscores (the wipe alone may take
# little more than 214 ms).
move_to 320 400
sleep 0.6
xdotool mousedown 1
wait_for 5 on_title_menu || fail "Return to Title did not return"
xdotool sleep 0.6 mouseup 1
game_running && on_title_menu || fail "the held click on Return to Title went on to quit"
# A double-click on Return to Title: the first half returns, the second, 250 ms later,
# lands on the title menu's Quit and must do nothing there.
press_until 5 320 300 on_highscore_table || fail "Highscores did not show the table again"
wait_for 3 wipe_done || fail "the wipe into the table did not finish"
move_to 320 400
xdotool click --repeat 2 --delay 250 1
wait_for 5 on_title_menu || fail "the double-click did not return to the title menu"
sleep 0.5
game_running && on_title_menu || fail "the second half of the double-click went on to quit"
on_statistics() { shot && [ "$(pixel 272 404)" = "$white" ] && [ "$(pixel 368 436)" = "$white" ]; }
press_until 5 320 350 on_statistics || { keep_shot failed_statistics; fail "Credits did not show the statistics screen"; }
keep_shot_after_wipe statistics
[ "$(count 200 270 400 277 "$white")" -gt 20 ] || fail "no total games line"
# A polite kill ends like Quit: the statistics are saved again on the way out.
rm "$run/KZ DATA/stats.dat"
kill -TERM "$game_pid"
wait_game_exit 5
[ "$exit_status" -eq 0 ] || fail "a polite kill ended with status $exit_status"
cmp <(printf %s "$stats") "$run/KZ DATA/stats.dat" || fail "the statistics changed without a round"

# set_byte <file> <offset> <value> and reseal <file>: a replay changed on purpose, its
# checksum (FNV-1a over all but its last 8 bytes) made right again.
set_byte() { printf "\\$(printf %03o "$3")" | dd of="$1" bs=1 seek="$2" conv=notrunc 2>/dev/null; }
reseal() {
    local size=$(($(stat -c %s "$1") - 8)) h=-3750763034362895579 b i
    for b in $(head -c "$size" "$1" | od -An -v -tu1); do h=$(((h ^ b) * 1099511628211)); done
    for i in 0 1 2 3 4 5 6 7; do set_byte "$1" $((size + i)) $(((h >> (8 * i)) & 255)); done
}
data="$run/KZ DATA"
own="${replays[0]}"
cp "$own" "$data/replay-00000000000000a1.rpl"  # a friend's round
set_byte "$data/replay-00000000000000a1.rpl" 28 70 && reseal "$data/replay-00000000000000a1.rpl"
cp "$own" "$data/replay-00000000000000a2.rpl"  # the same round under other rules
set_byte "$data/replay-00000000000000a2.rpl" 6 99 && reseal "$data/replay-00000000000000a2.rpl"
printf 'not a replay' >"$data/replay-00000000000000a3.rpl"
cp "$own" "$data/replay-00000000000000a4.rpl"  # a copy that claims to be newer
set_byte "$data/replay-00000000000000a4.rpl" 52 99 && reseal "$data/replay-00000000000000a4.rpl"
"$GAME" --verify "$data/replay-00000000000000a4.rpl" >/dev/null || fail "the later-dated copy is no replay"
# The row moved to where the title's Highscores button is, as the index says.
{ for i in 1 2 3 4 5 6 7 8; do printf 'Z Z Z 100000 1 \n'; done
  printf 'D O T %s 1 \nA A A 0 1 \n' "$score"; } >"$data/highscore.dat"
printf '9 DOT %s %s\n' "$score" "$(basename "$own")" >"$data/replays.dat"
cp -a "$data" "$work/data.before"
for start in 1 2; do
    # The second start on a desktop whose double-click time is 800 ms.
    gap=450
    if [ "$start" = 2 ]; then
        echo '*.multiClickTime: 800' | xrdb -merge - || fail "xrdb could not set the double-click time"
        gap=650
    fi
    start_game
    wait_for 10 on_title_menu || fail "no title menu on shared start $start"
    # The second click of a double-click on Highscores lands on the row: it plays nothing,
    # even $gap ms after the first (desktops allow 500 ms, or what they set).
    move_to 320 300
    xdotool click --repeat 2 --delay $gap 1
    wait_for 5 on_highscore_table || fail "the double-click did not show the table"
    sleep 1
    on_highscore_table && ! replaying || fail "the second half of the double-click played the row"
    [ "$(count 386 290 396 297 "$white")" -gt 5 ] || fail "the row lost its play mark on start $start"
    # Short taps play it, each one.
    for tap in 1 2; do
        move_to 300 300
        xdotool mousedown 1 sleep 0.01 mouseup 1
        wait_for 5 replaying || fail "tap $tap on the row played nothing (start $start)"
        key_until 5 Escape on_highscore_table || fail "Esc did not end the replay"
    done
    press_until 5 320 450 game_gone || fail "Quit did not end shared start $start"
    wait_game_exit 5
done
diff -r "$work/data.before" "$data" -x stats.dat -x save.lock ||
    fail "two starts changed the shared data folder: $(ls "$data")"
echo "PASS"
