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
echo "PASS"
