#!/bin/bash
# Start-up failures end promptly with a message, a non-zero status and no signal,
# and write nothing.
. "$(dirname "$0")/lib.sh"

make_run_dir

# No display at all.
(cd "$run" && exec env -u DISPLAY "$GAME") >"$work/game.out" 2>"$work/game.err" &
game_pid=$!
wait_game_exit 5
[ "$exit_status" -ge 1 ] && [ "$exit_status" -lt 128 ] ||
    fail "without a display the status was $exit_status"
grep -q "display" "$work/game.err" || fail "no message without a display: $(cat "$work/game.err")"

# The command line is read before anything opens: help and version need no display, and
# a bad option is refused with the usage and status 2.
(cd "$run" && env -u DISPLAY "$GAME" --help) >"$work/help.out" 2>&1 || fail "--help failed"
grep -q -- "--window" "$work/help.out" || fail "--help does not list the options"
(cd "$run" && env -u DISPLAY "$GAME" --version) | grep -q "^blockdash [0-9]" || fail "--version"
for bad in "--scale 0" "--scale" "--fulscreen"; do
    (cd "$run" && exec env -u DISPLAY "$GAME" $bad) >"$work/bad.out" 2>"$work/bad.err"
    status=$?
    [ "$status" -eq 2 ] || fail "\"$bad\" ended with status $status, not 2"
    grep -q "^Usage:" "$work/bad.err" && [ ! -s "$work/bad.out" ] || fail "\"$bad\" gave no usage on stderr"
done

# A display, but the picture folder is gone.
start_display
rm "$run/KZ IMAGE"
start_game
wait_for 10 grep -q 'KZ IMAGE//player.bmp' "$work/game.err" ||
    fail "the message does not name the missing file: $(cat "$work/game.err")"
grep -qF "in $(cd "$run" && pwd -P)." "$work/game.err" && grep -q "blockdash-play" "$work/game.err" ||
    fail "the message does not say where the game looked and how to start it: $(cat "$work/game.err")"
# The library may also show a message box; dismiss it as a player would.
pkill -P "$game_pid" 2>/dev/null
wait_game_exit 5
[ "$exit_status" -ge 1 ] && [ "$exit_status" -lt 128 ] ||
    fail "with a missing picture the status was $exit_status"
[ -z "$(ls -A "$run/KZ DATA")" ] || fail "a failed start wrote $(ls "$run/KZ DATA")"

# A FIFO in place of a picture, then a picture cut short: refused by name, never a hang.
mkdir "$run/KZ IMAGE"
for f in "$ASSETS/KZ IMAGE"/*; do ln -s "$f" "$run/KZ IMAGE/"; done
rm "$run/KZ IMAGE/text.bmp"
mkfifo "$run/KZ IMAGE/text.bmp"
head -c 100000 "$ASSETS/KZ IMAGE/background.bmp" >"$work/short.bmp"
for case in 'KZ IMAGE//text.bmp": not a regular file' 'KZ IMAGE//background.bmp" is cut short'; do
    start_game
    wait_for 10 grep -q "$case" "$work/game.err" || fail "no message \"$case\": $(cat "$work/game.err")"
    # The message box may open a moment after the words reach stderr.
    wait_for 5 sh -c "pkill -P $game_pid; ! kill -0 $game_pid 2>/dev/null"
    wait_game_exit 1
    [ "$exit_status" -eq 1 ] || fail "\"$case\" ended with status $exit_status"
    rm "$run/KZ IMAGE/text.bmp" && ln -s "$ASSETS/KZ IMAGE/text.bmp" "$run/KZ IMAGE/text.bmp"
    rm "$run/KZ IMAGE/background.bmp" && ln -s "$work/short.bmp" "$run/KZ IMAGE/background.bmp"
done
echo "PASS"
