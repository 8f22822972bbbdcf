#!/bin/bash
# Instructions a frame costs, counted by callgrind: immune to a busy machine, where
# processor time is not. The title menu at 640x480 for 20 seconds with the pointer moving
# every second, then a scripted round of 500 frames in full screen on a private Xvfb at
# each size; only the frame's own work (title_menu_frame, play_frame) and the presenter's
# (draw_screen) are counted, start-up left out. Prints `name: value unit` lines.
# Usage: bench/frame_instructions.sh [build folder, default build] [sizes, default
#        "640x480 1366x768 1440x900 1920x1080 3840x2160"]
set -u
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
sizes=${2:-640x480 1366x768 1440x900 1920x1080 3840x2160}
command -v valgrind >/dev/null || { echo "needs valgrind" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/blockdash-bench-XXXXXX")
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

. bench/private_display.sh

# The title menu, as a player leaves it with the pointer drifting over it.
start_display 640x480
mkdir -p "$work/run/KZ DATA"
ln -s "$build/assets/KZ IMAGE" "$work/run/KZ IMAGE"
ln -s "$build/assets/KZ SOUND" "$work/run/KZ SOUND"
(cd "$work/run" && exec timeout -s INT 25 valgrind --tool=callgrind --callgrind-out-file="$work/title.out" \
    --toggle-collect='title_menu_frame()' --toggle-collect='draw_screen()' "$build/blockdash") \
    >/dev/null 2>"$work/title.err" &
for i in $(seq 22); do sleep 1; xdotool mousemove $((300 + i * 7)) $((200 + i * 3)); done
wait $!
total=$(sed -n 's/.*Collected : *\([0-9]*\).*/\1/p' "$work/title.err" | tail -1)
# Its callers' lines come just before its own: their call counts add up to its frames.
frames=$(callgrind_annotate --tree=caller "$work/title.out" 2>/dev/null | awk '
    /^ *$/ { calls = 0; next }
    / < / { if (match($0, /\([0-9,]+x\)/)) { c = substr($0, RSTART + 1, RLENGTH - 3); gsub(",", "", c); calls += c }; next }
    /\* .*title_menu_frame\(\)/ { print calls; exit }')
if [ -n "$total" ] && [ -n "$frames" ] && [ "$frames" -gt 0 ]; then
    echo "title_menu_640x480_instructions_per_frame: $((total / frames)) instructions ($frames frames)"
else
    echo "title_menu_640x480_instructions: not measured"
fi
stop_display

for size in $sizes; do
    start_display "$size"
    (cd "$build/assets" && valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" \
        --toggle-collect='play_frame()' --toggle-collect='draw_screen()' \
        "$build/bench/blockdash_bench" --display) >"$work/round.txt" 2>"$work/cg.err"
    frames=$(awk '$1 == "display_frames:" {print $2}' "$work/round.txt")
    total=$(sed -n 's/.*Collected : *\([0-9]*\).*/\1/p' "$work/cg.err" | tail -1)
    if [ -z "$frames" ] || [ -z "$total" ]; then
        echo "round_${size}_instructions: not measured (see the bench's output)"
    else
        echo "round_${size}_instructions_per_frame: $((total / frames)) instructions"
        # The three largest, to see where it goes.
        callgrind_annotate --inclusive=no "$work/cg.out" 2>/dev/null |
            awk -v s="$size" -v f="$frames" '/^ *[0-9,]+ +\(/ && !/PROGRAM TOTALS/ {
                gsub(",", "", $1); name = $NF == "" ? $(NF-1) : $0; sub(/^ *[0-9]+ +\([^)]*\) +/, "", name)
                sub(/ \[.*/, "", name); sub(/.*:/, "", name)
                printf "round_%s_top_%d: %d instructions per frame in %s\n", s, ++n, $1 / f, name
                if (n == 3) exit }'
    fi
    stop_display
done
