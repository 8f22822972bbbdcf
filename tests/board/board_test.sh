#!/bin/bash
# The board end to end, with the timing rule on: a real blockdash-board on loopback, rounds
# played by a scripted player from the seeds the board drew, their notices sent as a game
# playing in real time would (and faster, and slower), then sent, shown on the board and on
# the page in a real browser, refused where they should be, an operator's remove and ban,
# and a stop by SIGTERM.
#   board_test.sh sqlite|postgres     (BOARD, SENDER, GAME: the programs; CHROMIUM for the page)
set -euo pipefail
store=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/postgres.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/board-$store-XXXXXX")
chmod 755 "$work"
server=""
second=""
cleanup() {
    [ -z "$server" ] || kill -9 "$server" 2>/dev/null || true
    [ -z "$second" ] || kill -9 "$second" 2>/dev/null || true
    [ "$store" != postgres ] || stop_postgres "$work/pg"
    if [ "${failed:-1}" = 0 ]; then rm -rf "$work"; else echo "kept for a look: $work"; fi
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ ! -f "$work/board.log" ] || tail -20 "$work/board.log"; exit 1; }

database=()
if [ "$store" = postgres ]; then
    start_postgres "$work/pg" || fail "PostgreSQL did not start"
    database=(--database "$POSTGRES_URL")
    # Boards on one database share the secret that signs the tickets.
    export BLOCKDASH_BOARD_SECRET=00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff
fi

# start_board [option...]: the board on a free port; sets port and server.
start_board() {
    "$BOARD" --listen 127.0.0.1:0 --data "$work/data" "${database[@]}" "$@" >>"$work/board.log" 2>&1 &
    server=$!
    port=""
    for _ in $(seq 100); do
        port=$(grep -o 'listening on 127.0.0.1:[0-9]*' "$work/board.log" | tail -1 | cut -d: -f2 || true)
        [ -z "$port" ] || ! grep -q "listening on 127.0.0.1:$port" <(tail -1 "$work/board.log") || break
        kill -0 "$server" 2>/dev/null || fail "the board did not start"
        sleep 0.1
    done
    [ -n "$port" ] || fail "the board did not say where it listens"
    curl -sf "http://127.0.0.1:$port/healthz" >/dev/null || fail "no /healthz"
}

# stop_board: SIGTERM, and the board gone within 10 s, exiting 0.
stop_board() {
    kill -TERM "$server"
    for _ in $(seq 100); do kill -0 "$server" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$server" 2>/dev/null && fail "the board still runs 10 s after SIGTERM"
    wait "$server" || fail "the board's exit status after SIGTERM is $?"
    server=""
}

# send KEY TICKET FILE: the status, then the answer in $work/answer; to the board at
# $to_port when set.
send() {
    curl -s -o "$work/answer" -w '%{http_code}' -H "X-Player-Key: $1" -H 'Content-Type: application/octet-stream' \
        --data-binary @"$3" "http://127.0.0.1:${to_port:-$port}/api/v1/rounds?ticket=$2"
}

expect() {  # expect STATUS REASON-PATTERN ACTUAL-STATUS WHAT
    [ "$3" = "$1" ] && grep -q -- "$2" "$work/answer" ||
        fail "$4: expected $1 with \"$2\", got $3 $(cat "$work/answer")"
}

key_good=0123456789abcdef0123456789abcd01
key_fast=0123456789abcdef0123456789abcd02
key_slow=0123456789abcdef0123456789abcd03
start_board --limits 6,300,30
grep -q 'testing waiver' "$work/board.log" && fail "the waiver is on without being asked for"

# Three rounds at once: as played, notices too fast, notices too slow.
for run in good:1.0:GUD fast:0.6:FST slow:1.45:SLO; do
    IFS=: read -r name pace initials <<<"$run"
    key_var=key_$name
    mkdir -p "$work/$name"
    (cd "$work/$name" && "$SENDER" "$port" "${!key_var}" . "$pace" "$initials" >sender.log 2>&1) &
done
wait_all=0
for job in $(jobs -p); do [ "$job" = "$server" ] || wait "$job" || wait_all=1; done
[ "$wait_all" = 0 ] || fail "a scripted player failed: $(cat "$work"/*/sender.log)"
good_ticket=$(cat "$work/good/ticket")

# On PostgreSQL a second board on the same database takes the round whose notices the
# first one stamped, and the first then knows its ticket is used.
to_port=""
if [ "$store" = postgres ]; then
    "$BOARD" --listen 127.0.0.1:0 --data "$work/data2" "${database[@]}" >"$work/board2.log" 2>&1 &
    second=$!
    for _ in $(seq 100); do
        to_port=$(grep -so 'listening on 127.0.0.1:[0-9]*' "$work/board2.log" | cut -d: -f2 || true)
        [ -z "$to_port" ] || break
        sleep 0.1
    done
    [ -n "$to_port" ] || fail "the second board did not start: $(cat "$work/board2.log")"
fi

"$SENDER" --tamper "$work/good/replay.rpl" "$work/tampered.rpl"
status=$(send $key_good "$good_ticket" "$work/tampered.rpl")
[ "$status" = 400 ] || [ "$status" = 422 ] || fail "a changed input byte: $status $(cat "$work/answer")"
expect 422 'other seed' "$(send $key_good "$good_ticket" "$work/fast/replay.rpl")" "another round's replay"
expect 403 'not genuine' "$(send $key_fast "$good_ticket" "$work/good/replay.rpl")" "another player's ticket"
expect 201 '"rank":1' "$(send $key_good "$good_ticket" "$work/good/replay.rpl")" "the round as played"
round_id=$(grep -o '"id":"[0-9a-f]*"' "$work/answer" | cut -d'"' -f4)
if [ -n "$second" ]; then
    kill -TERM "$second" && wait "$second" || fail "the second board did not stop cleanly"
    second=""
    to_port=""
fi
expect 409 'used' "$(send $key_good "$good_ticket" "$work/good/replay.rpl")" "the same ticket again"
expect 422 'too fast' "$(send $key_fast "$(cat "$work/fast/ticket")" "$work/fast/replay.rpl")" "notices too fast"
expect 422 'too slow' "$(send $key_slow "$(cat "$work/slow/ticket")" "$work/slow/replay.rpl")" "notices too slow"
head -c 600000 /dev/zero >"$work/big"
expect 413 'Too Large' "$(send $key_slow "$(cat "$work/slow/ticket")" "$work/big")" "a body over 512 KB"

for period in all week day; do
    curl -s "http://127.0.0.1:$port/api/v1/board?period=$period" >"$work/board.json"
    grep -q '"name":"GUD"' "$work/board.json" || fail "the $period board lacks the round: $(cat "$work/board.json")"
    grep -q '"name":"FST"\|"name":"SLO"' "$work/board.json" && fail "a refused round is on the $period board"
done
grep -q "\"replay\":\"/api/v1/replays/$round_id\"" "$work/board.json" || fail "the row names no replay"
curl -sf -o "$work/fetched.rpl" "http://127.0.0.1:$port/api/v1/replays/$round_id" || fail "no replay download"
cmp -s "$work/fetched.rpl" "$work/good/replay.rpl" || fail "the replay served is not the one sent"
"$GAME" --verify "$work/fetched.rpl" >/dev/null || fail "the game's --verify refuses the replay served"
[ "$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/api/v1/board?limit=101")" = 400 ] ||
    fail "a limit over 100 was taken"

# The page, in a real browser without a network of its own.
if [ "$store" = sqlite ]; then
    profile="$work/chromium"
    browser=("$CHROMIUM" --headless --no-sandbox --disable-gpu --disable-background-networking
             --disable-component-update --disable-sync --no-first-run --user-data-dir="$profile")
    timeout 60 "${browser[@]}" --dump-dom "http://127.0.0.1:$port/" >"$work/page.html" 2>/dev/null ||
        fail "chromium could not load the page"
    for text in GUD 'blockdash --replay FILE' 'This week' Today "/api/v1/replays/$round_id"; do
        grep -q -- "$text" "$work/page.html" || fail "the page lacks \"$text\""
    done
    timeout 60 "${browser[@]}" --window-size=390,844 --screenshot="$work/page.png" "http://127.0.0.1:$port/" \
        >/dev/null 2>&1 || fail "chromium could not take the page's picture"
    [ -s "$work/page.png" ] || fail "no picture of the page"
    [ -z "${SHOTS:-}" ] || cp "$work/page.png" "$SHOTS/board_page_phone.png"
    # Something is drawn: the picture has more than the page's background colour.
    colours=$(convert "$work/page.png" -format '%k' info:)
    [ "$colours" -gt 2 ] || fail "the page's picture is blank ($colours colours)"
fi

# Request limits: the seventh ticket in a minute from one address.
for i in 1 2 3 4 5 6 7; do
    last=$(curl -s -o /dev/null -w '%{http_code}' -X POST -d '' -H "X-Player-Key: $key_slow" \
        "http://127.0.0.1:$port/api/v1/tickets")
done
[ "$last" = 429 ] || fail "the seventh ticket in a minute got $last"
cat "$work"/board*.log | grep -qE '^[0-9T:-]+Z 127\.0\.0\.1 POST /api/v1/rounds 201 [0-9]+ ms$' ||
    fail "no request log line for the accepted round"
# A newline sent as %0a must stay inside its own log line.
curl -s -o /dev/null "http://127.0.0.1:$port/x%0a2026-01-01T00:00:00Z%20forged"
for _ in $(seq 50); do grep -q 'forged' "$work/board.log" && break; sleep 0.1; done
grep -qF 'GET /x\x0a2026-01-01T00:00:00Z forged 404' "$work/board.log" ||
    fail "the log did not escape a newline in a path: $(grep forged "$work/board.log")"

stop_board

# The operator: ban a key, remove a round.
"$BOARD" --data "$work/data" "${database[@]}" --ban $key_slow >/dev/null || fail "--ban failed"
"$BOARD" --data "$work/data" "${database[@]}" --remove "$round_id" >/dev/null || fail "--remove failed"
start_board
curl -s "http://127.0.0.1:$port/api/v1/board" | grep -q GUD && fail "a removed round is still on the board"
[ "$(curl -s -o /dev/null -w '%{http_code}' -X POST -d '' -H "X-Player-Key: $key_slow" \
    "http://127.0.0.1:$port/api/v1/tickets")" = 403 ] || fail "a banned key got a ticket"
stop_board

# Where a round stands: a round that does not beat the player's own best (as good, played
# later) leaves that best standing, and the answer says where it is; "rank" still counts only
# the other players. Untimed, so the rounds go at once; a hand that never clicks scores alike.
start_board --testing-waiver
key_first=0123456789abcdef0123456789abcd04
key_other=0123456789abcdef0123456789abcd05
sent_round() {  # sent_round KEY NAME: a round played and sent, its status in $status, answer in $work/answer
    mkdir -p "$work/$2"
    (cd "$work/$2" && "$SENDER" "$port" "$1" . 0 "$2" >sender.log 2>&1) || fail "$2 was not played: $(cat "$work/$2/sender.log")"
    status=$(send "$1" "$(cat "$work/$2/ticket")" "$work/$2/replay.rpl")
    score=$(grep -o '"score":-\?[0-9]*' "$work/answer" | cut -d: -f2)
}
sent_round $key_first ONE
expect 201 '"stands":true' "$status" "a player's first round"
first_score=$score
sent_round $key_other TWO
expect 201 '"stands":true' "$status" "another player's first round"
[ "$score" = "$first_score" ] || fail "idle rounds scored $first_score and $score"
sent_round $key_first THR
[ "$score" = "$first_score" ] || fail "idle rounds scored $first_score and $score"
for field in '"stands":false' '"rank":2' '"best_rank":1' "\"best_score\":$first_score"; do
    expect 201 "$field" "$status" "a round no better than the player's best"
done
stop_board

# The store's own tests, on this PostgreSQL: a lower round after a higher one among them.
if [ "$store" = postgres ]; then
    BOARD_TEST_DATABASE="$POSTGRES_URL" "$STORE_TESTS" --gtest_filter='StoreTest.*' >"$work/store_tests.log" 2>&1 ||
        fail "the store's tests on PostgreSQL: $(tail -30 "$work/store_tests.log")"
fi
failed=0
echo "the board ($store) took the round played in time and refused the others"
