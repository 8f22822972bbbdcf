#!/bin/bash
# The watch page in Debian's headless chromium, by hand (not part of ./test.sh), on loopback
# only: a busy round of several thousand frames is sent to a board, and its watch page plays
# it from the first frame to the last at 1x. Prints the round's length against the time it
# took, the pictures shown and the times between animation frames and per picture.
#   bench/watch_bench.sh [build folder, default build] [frames per click, default 12]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
clicks=${2:-12}
work=$(mktemp -d "${TMPDIR:-/tmp}/watch-bench-XXXXXX")
board_pid=""
cleanup() {
    [ -z "$board_pid" ] || kill "$board_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

"$build/src/board/blockdash-board" --listen 127.0.0.1:0 --data "$work/data" --testing-waiver >"$work/board.log" 2>&1 &
board_pid=$!
port=""
for _ in $(seq 100); do
    port=$(grep -so 'listening on 127.0.0.1:[0-9]*' "$work/board.log" | cut -d: -f2 || true)
    [ -z "$port" ] || break
    sleep 0.1
done
[ -n "$port" ] || { cat "$work/board.log"; exit 1; }
key=0123456789abcdef0123456789abcd0b
(cd "$work" && "$build/tests/board/round_sender" "$port" "$key" . 0 BEN "$clicks")
curl -sf -o "$work/answer" -H "X-Player-Key: $key" -H "X-Ticket: $(cat "$work/ticket")" \
    -H 'Content-Type: application/octet-stream' --data-binary @"$work/replay.rpl" "http://127.0.0.1:$port/api/v1/rounds"
id=$(grep -o '"id":"[0-9a-f]*"' "$work/answer" | cut -d'"' -f4)
echo "module and loader: $(cat "$build"/src/board/watch/blockdash-round.{js,wasm} | wc -c) bytes"
node tests/board/watch_driver.js bench "http://127.0.0.1:$port/watch/$id"
