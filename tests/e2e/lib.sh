# Shared helpers for the end-to-end tests: a private Xvfb, a run folder, the real game,
# xdotool for input, ImageMagick's import for screenshots, and waits with deadlines.
# Sourced by each test script; expects GAME, ASSETS and PROBE in the environment.
set -u

fail() { echo "FAIL: $*" >&2; exit 1; }

work=$(mktemp -d /tmp/blockdash-e2e-XXXXXX)
xvfb_pid=""
game_pid=""

cleanup() {
    [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# wait_for <seconds> <command...>: retries the command until it succeeds or time is up.
wait_for() {
    local deadline=$(( $(date +%s%N) / 1000000 + $1 * 1000 )); shift
    until "$@"; do
        [ $(( $(date +%s%N) / 1000000 )) -lt $deadline ] || return 1
        sleep 0.05
    done
}

start_display() {
    exec 3>"$work/display"
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=":$(cat "$work/display")"
    wait_for 10 xdpyinfo >/dev/null 2>&1 || fail "Xvfb does not answer"
}

# A working directory like the launcher's: asset links and a data folder.
make_run_dir() {
    run="$work/run"
    mkdir -p "$run/KZ DATA"
    ln -s "$ASSETS/KZ IMAGE" "$run/KZ IMAGE"
    ln -s "$ASSETS/KZ SOUND" "$run/KZ SOUND"
}

start_game() {
    (cd "$run" && exec "$GAME") >"$work/game.out" 2>"$work/game.err" &
    game_pid=$!
}

game_running() { kill -0 "$game_pid" 2>/dev/null; }

# wait_game_exit <seconds>: sets exit_status, fails if the game is still running.
wait_game_exit() {
    wait_for "$1" sh -c "! kill -0 $game_pid 2>/dev/null" || fail "game still running after $1 s"
    wait "$game_pid"
    exit_status=$?
    game_pid=""
}

shot() { import -display "$DISPLAY" -window root -depth 8 "$work/shot.ppm" 2>/dev/null; }
pixel() { "$PROBE" "$work/shot.ppm" "$1" "$2"; }

# screen_shows <x> <y> <"r g b">: takes a screenshot and compares one pixel.
screen_shows() { shot && [ "$(pixel "$1" "$2")" = "$3" ]; }

# Keep a screenshot as a PNG for people to look at.
keep_shot() { convert "$work/shot.ppm" "${SHOTS:-$work}/$1.png"; }

click_at() {
    xdotool mousemove "$1" "$2"
    sleep 0.1   # let the game see the pointer arrive before the button goes down
    xdotool mousedown 1
    sleep 0.1
    xdotool mouseup 1
}
