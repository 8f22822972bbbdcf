# Shared helpers for the end-to-end tests: a private Xvfb, a run folder, the real game,
# xdotool for input, ImageMagick's import for screenshots, and waits with deadlines.
# Sourced by each test script; expects GAME, ASSETS and PROBE in the environment.
set -u

fail() { echo "FAIL: $*" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/blockdash-e2e-XXXXXX")
xvfb_pid=""
game_pid=""
other_pids=""  # a second game or display, for tests that run two

# A failed test keeps its scratch folder (logs, screenshots) and says where it is.
cleanup() {
    local status=$?
    [ -n "$game_pid" ] && kill -KILL "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    for pid in $other_pids; do kill -KILL "$pid" 2>/dev/null; done
    wait 2>/dev/null
    if [ "$status" -eq 0 ]; then rm -rf "$work"; else echo "kept $work" >&2; fi
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

# free_display: a display number that no server, live or killed, holds.
free_display() {
    local n
    for _ in $(seq 50); do
        n=$((100 + RANDOM % 800))
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { echo "$n"; return 0; }
    done
    fail "no free display number"
}

# start_display [WxH]: a private Xvfb, 640x480 unless asked for another size. Each test
# takes a random display number of its own: a server that probes for the lowest free one
# (-displayfd) while other tests' servers run has been seen to leave them unreachable.
# -noreset: a server that regenerates when its last client leaves can turn away the next
# game started at that moment, which a desktop with its other clients never does.
start_display() {
    local n
    for _ in $(seq 20); do
        n=$(free_display)
        Xvfb ":$n" -screen 0 "${1:-640x480}x24" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        wait_for 10 sh -c "xdpyinfo >/dev/null 2>&1 || ! kill -0 $xvfb_pid 2>/dev/null" &&
            kill -0 "$xvfb_pid" 2>/dev/null && xdpyinfo >/dev/null 2>&1 && return 0
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    done
    fail "Xvfb did not start: $(cat "$work/xvfb.log")"
}

# A working directory like the launcher's: asset links and a data folder.
make_run_dir() {
    run="$work/run"
    mkdir -p "$run/KZ DATA"
    ln -s "$ASSETS/KZ IMAGE" "$run/KZ IMAGE"
    ln -s "$ASSETS/KZ SOUND" "$run/KZ SOUND"
}

# start_game [command prefix...] [-- game options...]: a prefix such as setpriv options
# runs it as another user.
start_game() {
    local prefix=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do prefix+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    (cd "$run" && exec "${prefix[@]}" "$GAME" "$@") >"$work/game.out" 2>"$work/game.err" &
    game_pid=$!
}

game_running() { kill -0 "$game_pid" 2>/dev/null; }

# wait_game_exit <seconds>: sets exit_status, fails if the game is still running.
# The status of a game ended by a signal is 128 plus the signal.
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

# Keep a screenshot as a PNG for people to look at, once the wipe has finished (its white
# edge line crosses the top row of every screen).
wipe_done() { shot && [ "$(count 0 1 639 1 "$white")" -eq 0 ]; }
keep_shot() { convert "$work/shot.ppm" "${SHOTS:-$work}/$1.png"; }
keep_shot_after_wipe() {
    wait_for 3 wipe_done || fail "the wipe into $1 did not finish"
    keep_shot "$1"
}


# count <x0> <y0> <x1> <y1> <"r g b">: pixels of that colour in the last screenshot.
count() { "$PROBE" "$work/shot.ppm" count "$1" "$2" "$3" "$4" $5; }

# Screen recognisers, by the pixels each screen always has.
white="255 255 255"
grey="40 40 40"
black="0 0 0"
yellow="255 255 0"
on_title_menu() {
    shot && [ "$(pixel 5 5)" = "$grey" ] && [ "$(pixel 272 234)" = "$white" ] &&
        [ "$(pixel 272 384)" = "$white" ] && [ "$(pixel 368 366)" = "$white" ]
}
# The round: black side panels with "Score" and "Time" on them.
in_round() {
    shot && [ "$(pixel 5 5)" = "$black" ] && [ "$(pixel 635 475)" = "$black" ] &&
        [ "$(count 20 30 59 37 "$white")" -gt 10 ] && [ "$(count 580 30 611 37 "$white")" -gt 10 ]
}
# The highscore table: its two buttons, Return to Title above Quit.
on_highscore_table() {
    shot && [ "$(pixel 272 384)" = "$white" ] && [ "$(pixel 368 416)" = "$white" ] &&
        [ "$(pixel 272 434)" = "$white" ] && [ "$(pixel 368 466)" = "$white" ]
}

# The game's aim cursor is drawn at (x, y): both ends of its vertical arm show.
cursor_at() {
    shot && [ "$(pixel "$1" $(($2 - 14)))" = "$white" ] && [ "$(pixel "$1" $(($2 + 14)))" = "$white" ]
}

# move_to <x> <y>: moves the pointer and waits until the game has seen it there. A window
# that has just opened may miss the first move, so the pointer nudges once more.
move_to() {
    xdotool mousemove "$1" "$2"
    wait_for 2 cursor_at "$1" "$2" && return 0
    xdotool mousemove $(($1 + 1)) "$2" mousemove "$1" "$2"
    wait_for 3 cursor_at "$1" "$2" || fail "the game's cursor did not follow the pointer to $1,$2"
}

# press_until <seconds> <x> <y> <condition...>: holds the left button at (x, y) until the
# condition holds, then lets go. The game reads the button as a held state.
press_until() {
    local seconds=$1 x=$2 y=$3; shift 3
    move_to "$x" "$y"
    xdotool mousedown 1
    wait_for "$seconds" "$@"
    local ok=$?
    xdotool mouseup 1
    return $ok
}

# tap_at <x> <y>: a short click, released before the next screen's first frame is tested
# (a held button would act on whatever button that screen has under the pointer).
tap_at() {
    move_to "$1" "$2"
    xdotool mousedown 1 sleep 0.1 mouseup 1
}

# key_until <seconds> <key> <condition...>: the same for a key.
key_until() {
    local seconds=$1 k=$2; shift 2
    xdotool keydown "$k"
    wait_for "$seconds" "$@"
    local ok=$?
    xdotool keyup "$k"
    return $ok
}
