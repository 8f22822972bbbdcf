#!/bin/bash
# Processor use of the game and of the X server, in percent of one core, on a private Xvfb:
# every screen reachable by clicks at 640x480, the name entry after an idle round included
# (the game's own processor time, from /proc/PID/stat, over the seconds asked for), and a
# scripted round (with its frame pacing)
# in full screen at 640x480, 1366x768 and 1440x900 (sharp, 1024x768 and 1200x900),
# 1920x1080 (k = 2) and 3840x2160 (k = 4): the period from one frame's start to the next's
# on the monotonic clock, frames held by a banner left out, and the process's own processor
# time (getrusage). Prints `name: value unit` lines, then the round's figures side by side.
# On a busy machine processor times run high; bench/frame_instructions.sh counts
# instructions instead.
# Usage: bench/display_bench.sh [build folder, default build] [seconds per screen, default 10]
#        [frames per round, default 3000; 0 measures the screens only]
set -u
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
seconds=${2:-10}
frames=${3:-3000}
game=$build/blockdash
assets=$build/assets
work=$(mktemp -d "${TMPDIR:-/tmp}/blockdash-bench-XXXXXX")
xvfb_pid="" game_pid=""
cleanup() {
    [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
percent() { echo "$1 $2" | awk -v hz="$(getconf CLK_TCK)" '{printf "%.1f", 100 * $1 / hz / $2}'; }
now() { date +%s.%N; }

. bench/private_display.sh

# measure <name>: the game's and the X server's use over the next $seconds.
measure() {
    local g0 x0 t0 g1 x1 t1
    g0=$(ticks "$game_pid"); x0=$(ticks "$xvfb_pid"); t0=$(now)
    sleep "$seconds"
    g1=$(ticks "$game_pid"); x1=$(ticks "$xvfb_pid"); t1=$(now)
    local wall; wall=$(echo "$t0 $t1" | awk '{print $2 - $1}')
    echo "$1_game_cpu: $(percent $((g1 - g0)) "$wall") percent"
    echo "$1_x_server_cpu: $(percent $((x1 - x0)) "$wall") percent"
}

# click <x> <y>: a press long enough for the screens that poll every 20 ms.
click() { xdotool mousemove "$1" "$2" sleep 0.2 mousemove "$(($1 + 1))" "$2" mousedown 1 sleep 0.15 mouseup 1; sleep 1.5; }

# Every screen at 640x480, driven like a player would.
start_display 640x480
mkdir -p "$work/run/KZ DATA"
# A table of zero rows, so the round that ends idle still earns the name entry.
for _ in 1 2 3 4 5 6 7 8 9 10; do printf 'A A A 0 1 \n'; done >"$work/run/KZ DATA/highscore.dat"
ln -s "$assets/KZ IMAGE" "$work/run/KZ IMAGE"
ln -s "$assets/KZ SOUND" "$work/run/KZ SOUND"
(cd "$work/run" && exec "$game") >/dev/null 2>&1 &
game_pid=$!
sleep 2.5
xdotool mousemove 500 200
measure title_menu_640x480
click 320 350
measure statistics_640x480
click 320 420
click 320 300
measure highscore_table_640x480
click 320 400
click 320 250
measure round_idle_640x480
xdotool keydown Escape sleep 0.1 keyup Escape
sleep 1
measure pause_menu_640x480
# Continue, and let the clock run out: the statistics are saved as the time-up banner comes.
stats="$work/run/KZ DATA/stats.dat"
stats_now() { cat "$stats" 2>/dev/null | md5sum; }
before=$(stats_now)
click 320 250
for _ in $(seq 400); do
    [ "$(stats_now)" != "$before" ] && break
    sleep 0.5
done
if [ "$(stats_now)" = "$before" ]; then
    echo "name_entry_640x480: the round did not end" >&2
else
    sleep 3  # the banner
    measure name_entry_640x480
fi
kill "$game_pid"; wait "$game_pid" 2>/dev/null; game_pid=""
stop_display

[ "$frames" -gt 0 ] || exit 0

# A scripted round with dashes, full screen at each size.
sizes="640x480 1366x768 1440x900 1920x1080 3840x2160"
: >"$work/rounds.txt"
for size in $sizes; do
    start_display "$size"
    x0=$(ticks "$xvfb_pid"); t0=$(now)
    (cd "$assets" && "$build/bench/blockdash_bench" --display "$frames") >"$work/round.txt" 2>/dev/null
    x1=$(ticks "$xvfb_pid"); t1=$(now)
    sed "s/^display_/round_${size}_/" "$work/round.txt" | tee -a "$work/rounds.txt"
    echo "round_${size}_x_server_cpu: $(percent $((x1 - x0)) "$(echo "$t0 $t1" | awk '{print $2 - $1}')") percent" |
        tee -a "$work/rounds.txt"
    stop_display
done

# figure <size> <name>: one number from the rounds above.
figure() { awk -v key="round_$1_$2:" '$1 == key {print $2}' "$work/rounds.txt"; }
echo
printf '%-10s %9s %9s %12s %9s\n' screen game_cpu x_cpu frame_median frame_p99
for size in $sizes; do
    printf '%-10s %8s%% %8s%% %9s ms %6s ms\n' "$size" "$(figure "$size" cpu)" "$(figure "$size" x_server_cpu)" \
        "$(figure "$size" frame_median)" "$(figure "$size" frame_p99)"
done
