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

data="$work/data"
# start_board [option...]: the board on a free port; sets port and server.
start_board() {
    "$BOARD" --listen 127.0.0.1:0 --data "$data" "${database[@]}" "$@" >>"$work/board.log" 2>&1 &
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

# port_of VAR LOG PID WHAT: sets VAR to the port a second board (PID) says in LOG that it
# listens on, within 10 s; fails, naming WHAT, when it stops first or never says.
port_of() {
    local -n found=$1
    found=""
    for _ in $(seq 100); do
        found=$(grep -so 'listening on 127.0.0.1:[0-9]*' "$2" | cut -d: -f2 || true)
        [ -z "$found" ] || return 0
        kill -0 "$3" 2>/dev/null || fail "$4 did not start: $(cat "$2")"
        sleep 0.1
    done
    fail "$4 did not say where it listens"
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

not_final() { ! grep -q '"final"' "$work/answer" || fail "$1 is marked final: $(cat "$work/answer")"; }
is_final() { grep -q '"final":true' "$work/answer" || fail "$1 is not marked final: $(cat "$work/answer")"; }

expect() {  # expect STATUS REASON-PATTERN ACTUAL-STATUS WHAT
    [ "$3" = "$1" ] && grep -q -- "$2" "$work/answer" ||
        fail "$4: expected $1 with \"$2\", got $3 $(cat "$work/answer")"
}

# The operator's commands change only a board that is there: in an empty folder they fail
# and make nothing. An empty secret is a mistake, not "none".
mkdir -p "$work/empty"
for command in "--remove 0123456789abcdef" "--ban 0123456789abcdef0123456789abcdef" \
               "--unban 0123456789abcdef0123456789abcdef"; do
    # shellcheck disable=SC2086
    (cd "$work/empty" && "$BOARD" $command >"$work/command.out" 2>&1) && fail "$command in an empty folder succeeded"
    grep -q "no board" "$work/command.out" || fail "$command said: $(cat "$work/command.out")"
    [ -z "$(ls -A "$work/empty")" ] || fail "$command made $(ls -A "$work/empty")"
done
BLOCKDASH_BOARD_SECRET= "$BOARD" --listen 127.0.0.1:0 --data "$work/empty" >"$work/command.out" 2>&1 &&
    fail "a board started with an empty secret"
grep -q "BLOCKDASH_BOARD_SECRET is set but empty" "$work/command.out" || fail "the empty secret: $(cat "$work/command.out")"
[ -z "$(ls -A "$work/empty")" ] || fail "a board with an empty secret made $(ls -A "$work/empty")"

key_good=0123456789abcdef0123456789abcd01
key_fast=0123456789abcdef0123456789abcd02
key_slow=0123456789abcdef0123456789abcd03
key_offline=0123456789abcdef0123456789abcd06
start_board --limits 6,300,30
grep -q 'testing waiver' "$work/board.log" && fail "the waiver is on without being asked for"

# Four rounds at once: as played, notices too fast, notices too slow, and one searched
# offline from its seed whose notices come in time.
for run in good:1.0:GUD fast:0.6:FST slow:1.45:SLO offline:1.0:OFF; do
    IFS=: read -r name pace initials <<<"$run"
    key_var=key_$name
    mkdir -p "$work/$name"
    search=()
    [ "$name" != offline ] || search=(--offline)
    (cd "$work/$name" && "$SENDER" "${search[@]}" "$port" "${!key_var}" . "$pace" "$initials" >sender.log 2>&1) &
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
    port_of to_port "$work/board2.log" "$second" "the second board"
fi

"$SENDER" --tamper "$work/good/replay.rpl" "$work/tampered.rpl"
status=$(send $key_good "$good_ticket" "$work/tampered.rpl")
[ "$status" = 400 ] || [ "$status" = 422 ] || fail "a changed input byte: $status $(cat "$work/answer")"
is_final "a changed input byte"
expect 422 'other seed' "$(send $key_good "$good_ticket" "$work/slow/replay.rpl")" "another round's replay"
is_final "another round's replay"
# The round as played with other values than the board drew, or with none: refused.
expect 422 'other values' "$(send $key_good "$good_ticket" "$work/good/other-values.rpl")" "a round on other values"
is_final "a round on other values"
expect 422 'other values' "$(send $key_good "$good_ticket" "$work/good/no-values.rpl")" "a round without its values"
# An input that differs from what the notices committed in one frame alone: refused.
expect 422 'committed' "$(send $key_good "$good_ticket" "$work/good/other-input.rpl")" "a round with other input"
is_final "a round with other input"
# A round searched offline from its seed is not the round the board revealed.
expect 422 'other values' "$(send $key_offline "$(cat "$work/offline/ticket")" "$work/offline/replay.rpl")" \
    "a round searched offline"
expect 403 'not genuine' "$(send $key_fast "$good_ticket" "$work/good/replay.rpl")" "another player's ticket"
is_final "another player's ticket"
expect 201 '"rank":1' "$(send $key_good "$good_ticket" "$work/good/replay.rpl")" "the round as played"
round_id=$(grep -o '"id":"[0-9a-f]*"' "$work/answer" | cut -d'"' -f4)
if [ -n "$second" ]; then
    kill -TERM "$second" && wait "$second" || fail "the second board did not stop cleanly"
    second=""
    to_port=""
fi
expect 409 'used' "$(send $key_good "$good_ticket" "$work/good/replay.rpl")" "the same ticket again"
# A tick sooner than the round could have got there (at 0.6 times its pace, the first or
# the second) gets no value, and ends the round.
grep -q '^the tick at frame [0-9]* was not taken: 422 .*too fast.*"final":true' "$work/fast/refused" ||
    fail "a tick too fast: $(cat "$work/fast/refused" 2>/dev/null)"
grep -q '^409 .*the round was refused: too fast.*"final":true' "$work/fast/after-refusal" ||
    fail "a notice after a refused tick: $(cat "$work/fast/after-refusal" 2>/dev/null)"
[ ! -e "$work/fast/replay.rpl" ] || fail "a round refused as it went was played on"
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

# The round's watch page: its figures and its replay's link with no script run, only the
# board's own files, and those under tagged addresses a browser keeps.
code() { curl -s -o /dev/null -w '%{http_code}' "$@"; }
grep -q "\"watch\":\"/watch/$round_id\"" "$work/board.json" || fail "the row names no watch page"
curl -s -D "$work/watch.head" -o "$work/watch.html" "http://127.0.0.1:$port/watch/$round_id"
grep -q '^HTTP/1.1 200' "$work/watch.head" || fail "no watch page: $(head -1 "$work/watch.head")"
grep -qi "^Content-Security-Policy: default-src 'self';" "$work/watch.head" ||
    fail "the watch page lets the browser load from elsewhere"
for text in "<h1>GUD's round" "href=\"/api/v1/replays/$round_id\"" 'href="/"' 'data-frames="[0-9]*"'; do
    grep -q -- "$text" "$work/watch.html" || fail "the watch page lacks $text"
done
grep -oE '(src|href)="[^"]*"' "$work/watch.html" | grep -vE '"/' && fail "the watch page names another site"
script=$(grep -o '/watch/files/watch.js?v=[0-9a-f]*' "$work/watch.html" | head -1)
curl -s -D "$work/file.head" -o "$work/watch.js" "http://127.0.0.1:$port$script"
cmp -s "$work/watch.js" "$here/../../src/board/watch/watch.js" || fail "the page's script is not the project's"
grep -qi '^Cache-Control: public, max-age=31536000, immutable' "$work/file.head" || fail "a tagged file is not kept"
etag=$(grep -i '^ETag:' "$work/file.head" | cut -d' ' -f2 | tr -d '\r')
[ "$(code -H "If-None-Match: $etag" "http://127.0.0.1:$port${script%%\?*}")" = 304 ] ||
    fail "a file the browser holds is sent again"
for missing in /watch/0000000000000000 /watch/nonsense /watch/files/none.js /watch/files/..%2fboard.sqlite; do
    [ "$(code "http://127.0.0.1:$port$missing")" = 404 ] || fail "$missing was answered"
done

# The page, in a real browser without a network of its own.
if [ "$store" = sqlite ]; then
    profile="$work/chromium"
    browser=("$CHROMIUM" --headless --no-sandbox --disable-gpu --disable-background-networking
             --disable-component-update --disable-sync --no-first-run --user-data-dir="$profile")
    timeout 60 "${browser[@]}" --dump-dom "http://127.0.0.1:$port/" >"$work/page.html" 2>/dev/null ||
        fail "chromium could not load the page"
    for text in GUD 'blockdash --replay FILE' 'This week' Today "/api/v1/replays/$round_id" "/watch/$round_id"; do
        grep -q -- "$text" "$work/page.html" || fail "the page lacks \"$text\""
    done
    timeout 60 "${browser[@]}" --window-size=390,844 --screenshot="$work/page.png" "http://127.0.0.1:$port/" \
        >/dev/null 2>&1 || fail "chromium could not take the page's picture"
    [ -s "$work/page.png" ] || fail "no picture of the page"
    [ -z "${SHOTS:-}" ] || cp "$work/page.png" "$SHOTS/board_page_phone.png"
    # Something is drawn: the picture has more than the page's background colour.
    colours=$(convert "$work/page.png" -format '%k' info:)
    [ "$colours" -gt 2 ] || fail "the page's picture is blank ($colours colours)"
    # On the phone's width nothing scrolls sideways and every cell lies inside the screen,
    # and the headers (the cards' labels there) share one font: the page itself, measured
    # in the same browser by a script added to a copy of it.
    curl -s "http://127.0.0.1:$port/" >"$work/phone.html"
    cat >>"$work/phone.html" <<'EOF'
<script>
// Measured again once the window takes the phone's size; the verdict is the page's colour,
// since a screenshot is what is taken at that size.
function measure() {
  const w = document.documentElement.clientWidth;
  let out = document.documentElement.scrollWidth > w ? 1 : 0;
  for (const e of document.querySelectorAll('h1, h2, p, th, td')) {
    const r = e.getBoundingClientRect();
    if (r.width > 0 && (r.left < 0 || r.right > w + 0.5)) out++;
  }
  for (const e of document.querySelectorAll('.scroll')) if (e.scrollWidth > e.clientWidth) out++;
  const fonts = new Set([...document.querySelectorAll('h1, h2, th')].map(e => getComputedStyle(e).fontFamily));
  for (const e of document.querySelectorAll('td[data-label]')) fonts.add(getComputedStyle(e, '::before').fontFamily);
  const good = out === 0 && fonts.size === 1 && window.innerWidth === 390;
  document.documentElement.style.background = document.body.style.background = good ? '#00ff00' : '#ff0000';
}
measure();
window.addEventListener('resize', measure);
</script>
EOF
    timeout 60 "${browser[@]}" --window-size=390,844 --virtual-time-budget=2000 --screenshot="$work/phone.png" \
        "file://$work/phone.html" \
        >/dev/null 2>&1 || fail "chromium could not measure the page"
    verdict=$(convert "$work/phone.png" -format '%[pixel:p{1,1}]' info: 2>/dev/null || true)
    case "$verdict" in
        *"0,255,0"* | lime) ;;
        *) fail "on a phone's width the page scrolls sideways or mixes header fonts ($verdict)" ;;
    esac
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

# One request, one log line, with the address: a line break or an escape byte in the path,
# and a request too malformed to read, are written escaped.
wait_for_log() {  # wait_for_log PATTERN: true once board.log has a line matching it, within 5 s
    for _ in $(seq 50); do grep -qE -- "$1" "$work/board.log" && return 0; sleep 0.1; done
    return 1
}
lines_before=$(wc -l <"$work/board.log")
curl -s -o /dev/null "http://127.0.0.1:$port/api/v1/x%0Ay%1Bz"
wait_for_log ' 127\.0\.0\.1 GET /api/v1/x\\x0ay\\x1bz 404 [0-9]+ ms$' ||
    fail "no escaped log line for a path with a line break: $(tail -3 "$work/board.log")"
[ "$(wc -l <"$work/board.log")" = $((lines_before + 1)) ] ||
    fail "one request gave $(($(wc -l <"$work/board.log") - lines_before)) log lines"
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'G\001T /\033 HTTP/1.1 junk\r\n\r\n' >&3
head -c 12 <&3 >"$work/answer"
exec 3<&-
grep -q '^HTTP/1.1 400' "$work/answer" || fail "a malformed request got $(cat "$work/answer")"
wait_for_log ' 127\.0\.0\.1 (G\\x01T|-) - 400 [0-9]+ ms$' ||
    fail "a malformed request was logged without its address: $(tail -3 "$work/board.log")"

# One board to a port: a second one there exits 1 within 2 s, saying why, and the first
# answers every request after it.
status=0
timeout 2 "$BOARD" --listen "127.0.0.1:$port" --data "$work/second-data" "${database[@]}" >"$work/command.out" 2>&1 ||
    status=$?
[ "$status" = 1 ] || fail "a second board on the port gave status $status (124: still running after 2 s)"
grep -q "cannot listen on 127.0.0.1:$port: the address is already in use" "$work/command.out" ||
    fail "the second board said: $(cat "$work/command.out")"
for i in $(seq 20); do
    [ "$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/healthz")" = 200 ] ||
        fail "request $i after a second board tried the port was not answered"
done

stop_board

# The operator: ban a key, remove a round.
"$BOARD" --data "$work/data" "${database[@]}" --ban $key_slow >/dev/null || fail "--ban failed"
"$BOARD" --data "$work/data" "${database[@]}" --remove "$round_id" >/dev/null || fail "--remove failed"
start_board
curl -s "http://127.0.0.1:$port/api/v1/board" | grep -q GUD && fail "a removed round is still on the board"
[ "$(code "http://127.0.0.1:$port/watch/$round_id")" = 404 ] || fail "a removed round still has its watch page"
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

# One round sent at once from eight threads, each on a connection of its own (on PostgreSQL
# to two boards on one database): exactly one copy is kept, the others refused.
mkdir -p "$work/RAC"
(cd "$work/RAC" && "$SENDER" "$port" $key_other . 0 RAC >sender.log 2>&1) || fail "RAC was not played: $(cat "$work/RAC/sender.log")"
race_ports=$port
if [ "$store" = postgres ]; then
    "$BOARD" --listen 127.0.0.1:0 --data "$work/race2" "${database[@]}" --testing-waiver >"$work/race2.log" 2>&1 &
    second=$!
    port_of race_port "$work/race2.log" "$second" "the second board"
    race_ports="$port,$race_port"
fi
"$SENDER" --race "$race_ports" $key_other "$(cat "$work/RAC/ticket")" "$work/RAC/replay.rpl" 8 >"$work/race.out" ||
    fail "the race was not run"
kept=$(grep -c '^201$' "$work/race.out" || true)
[ "$kept" = 1 ] || fail "one round sent 8 times at once was kept $kept times: $(tr '\n' ' ' <"$work/race.out")"
grep -qvE '^(201|409|422|503)$' "$work/race.out" && fail "a racing copy got $(tr '\n' ' ' <"$work/race.out")"
curl -s "http://127.0.0.1:$port/api/v1/board" | grep -q '"abandoned":0' || fail "the board does not count abandoned rounds"
if [ -n "$second" ]; then
    kill -TERM "$second"
    wait "$second" || fail "the second board did not stop cleanly"
    second=""
fi

# The answers the game acts on. "final" is on a refusal that is the board's last word about a
# round, and on no other.
sql() {
    if [ "$store" = postgres ]; then psql -q -A -t "$POSTGRES_URL" -c "$1"; else sqlite3 "$data/board.sqlite" "$1"; fi
}
expect 201 '"ticket"' "$(curl -s -o "$work/answer" -w '%{http_code}' -X POST -H "X-Player-Key: $key_other" \
    "http://127.0.0.1:$port/api/v1/tickets")" "a ticket asked for with no body at all"
bare_ticket=$(grep -o '"ticket":"[0-9a-f]*"' "$work/answer" | cut -d'"' -f4)
expect 409 'has not ended' "$(send $key_other "$bare_ticket" "$work/ONE/replay.rpl")" "a round that has not ended"
not_final "a round whose end notice may still come"
expect 409 'used' "$(send $key_first "$(cat "$work/ONE/ticket")" "$work/ONE/replay.rpl")" "a used ticket"
is_final "a used ticket"
sql "DELETE FROM tickets WHERE id = '${bare_ticket:0:32}'" >/dev/null || fail "could not forget the ticket"
expect 404 'no such ticket' "$(send $key_other "$bare_ticket" "$work/ONE/replay.rpl")" "a ticket no longer kept"
is_final "a ticket no longer kept"
expect 411 'Length Required' "$(curl -s -o "$work/answer" -w '%{http_code}' -X POST -H "X-Player-Key: $key_other" \
    "http://127.0.0.1:$port/api/v1/rounds?ticket=$bare_ticket")" "a round with no body"
not_final "a round with no body"
if [ "$store" = sqlite ]; then
    # A fault of the board's own (here a name it cannot write as JSON) is a 500, and logged.
    sql "UPDATE rounds SET name = CAST(X'C3' AS TEXT) WHERE name = 'TWO'" || fail "could not spoil a name"
    expect 500 'fault' "$(curl -s -o "$work/answer" -w '%{http_code}' "http://127.0.0.1:$port/api/v1/board")" \
        "a fault of the board's"
    grep -q 'GET /api/v1/board: fault:' "$work/board.log" || fail "the fault was not logged"
    sql "UPDATE rounds SET name = 'TWO' WHERE name = CAST(X'C3' AS TEXT)" || fail "could not mend the name"
fi

# The manual page's example session, as the page shows it, against this board.
sed 's/@[A-Z_]*@/x/g' "$here/../../tools/package/blockdash-board.8.in" >"$work/board.8"
LC_ALL=C.UTF-8 MANWIDTH=200 man -E ascii -l "$work/board.8" 2>/dev/null | col -b |
    sed -n '/^ *board=\${BOARD_URL/,/^ *curl -s "\$board\/api\/v1\/board?period=week&limit=3"$/p' |
    sed 's/^       //' >"$work/session.sh"
[ "$(wc -l <"$work/session.sh")" -ge 10 ] || fail "no example session in the manual page: $(cat "$work/session.sh")"
mkdir -p "$work/session"
(cd "$work/session" && BOARD_URL="http://127.0.0.1:$port" bash -euo pipefail "$work/session.sh") >"$work/session.out" 2>&1 ||
    fail "the manual page's session failed: $(cat "$work/session.out")"
for said in '^ok$' '"seed":[0-9]' '"final":true} 400$' '"period":"week"'; do
    grep -qE "$said" "$work/session.out" || fail "the manual page's session did not print $said: $(cat "$work/session.out")"
done
stop_board

# A secret others may read: the board will not start.
if [ "$store" = sqlite ]; then
    chmod 644 "$data/ticket-secret"
    "$BOARD" --listen 127.0.0.1:0 --data "$data" >"$work/command.out" 2>&1 && fail "a board started with a readable secret"
    grep -q "chmod 600" "$work/command.out" || fail "the readable secret: $(cat "$work/command.out")"
    chmod 600 "$data/ticket-secret"
fi

# On PostgreSQL no folder is needed: a board given no secret, in a folder it cannot write,
# keeps the secret in the database and hands out tickets.
if [ "$store" = postgres ]; then
    mkdir -p "$work/readonly"
    chmod 555 "$work/readonly"
    (cd "$work/readonly" && exec env -u BLOCKDASH_BOARD_SECRET setpriv --reuid=nobody --regid=nogroup --clear-groups \
        "$BOARD" --listen 127.0.0.1:0 \
        "${database[@]}" >"$work/board2.log" 2>&1) &
    second=$!
    port_of to_port "$work/board2.log" "$second" "a board in a read-only folder"
    [ "$(curl -s -o /dev/null -w '%{http_code}' -X POST -d '' -H "X-Player-Key: $key_other" \
        "http://127.0.0.1:$to_port/api/v1/tickets")" = 201 ] || fail "a board in a read-only folder gave no ticket"
    [ -z "$(ls -A "$work/readonly")" ] || fail "a board on PostgreSQL wrote $(ls -A "$work/readonly")"
    kill -TERM "$second"
    wait "$second" || fail "the board in a read-only folder did not stop cleanly"
    second=""
    to_port=""
fi

# Ban and unban: a key's round leaves the board and comes back.
"$BOARD" --data "$data" "${database[@]}" --ban $key_first >/dev/null || fail "--ban failed"
start_board
curl -s "http://127.0.0.1:$port/api/v1/board" | grep -q '"name":"ONE"' && fail "a banned key's round is on the board"
stop_board
"$BOARD" --data "$data" "${database[@]}" --unban $key_first >/dev/null || fail "--unban failed"
"$BOARD" --data "$data" "${database[@]}" --unban $key_first >/dev/null 2>&1 && fail "--unban of a key not banned succeeded"

# The README's backup and restore, run as written, bring every round back after the rounds
# were taken off. On PostgreSQL, into a database called board, as the README has it.
readme_lines() {  # the README's indented commands under "### Back up" that match a pattern
    sed -n '/^### Back up/,/^### [^B]/p' "$here/../../README.md" | sed -n 's/^    //p' | grep -E "$1"
}
ops="$work/ops"
mkdir -p "$ops"
if [ "$store" = postgres ]; then
    export PGHOST="$work/pg" PGUSER=board
    createdb board || fail "createdb board failed"
    database=(--database "postgresql:///board?host=$work/pg&user=board")
    backup=$(readme_lines 'pg_dump')
    restore=$(readme_lines 'psql|dropdb|createdb' | grep -v '^createdb board$')
else
    data="$ops/board-data"
    backup=$(readme_lines 'sqlite3.*backup')
    restore=$(readme_lines 'sqlite3.*restore')
fi
[ -n "$backup" ] && [ -n "$restore" ] || fail "the README has no backup and restore for $store"
start_board --testing-waiver
rounds=()
for name in BKA BKB; do
    sent_round "0123456789abcdef0123456789abcd1$(tr AB ab <<<"${name: -1}")" $name
    expect 201 '"stands":true' "$status" "round $name"
    rounds+=("$(grep -o '"id":"[0-9a-f]*"' "$work/answer" | cut -d'"' -f4)")
done
(cd "$ops" && bash -euo pipefail -c "$backup") || fail "the README's backup failed: $backup"
for file in "$ops"/board-backup.sqlite "$ops"/board.sql; do
    [ ! -e "$file" ] || [ "$(stat -c %a "$file")" = 600 ] || fail "$file is $(stat -c %a "$file"), not 600"
done
stop_board
for round in "${rounds[@]}"; do
    "$BOARD" --data "$data" "${database[@]}" --remove "$round" >/dev/null || fail "--remove $round failed"
done
(cd "$ops" && bash -euo pipefail -c "$restore") >"$work/restore.log" 2>&1 ||
    fail "the README's restore failed: $restore: $(cat "$work/restore.log")"
start_board
for round in "${rounds[@]}"; do
    [ "$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/api/v1/replays/$round")" = 200 ] ||
        fail "round $round did not come back with the restore"
done
stop_board

# The store's own tests, on this PostgreSQL: a lower round after a higher one among them.
if [ "$store" = postgres ]; then
    BOARD_TEST_DATABASE="$POSTGRES_URL" "$STORE_TESTS" --gtest_filter='StoreTest.*' >"$work/store_tests.log" 2>&1 ||
        fail "the store's tests on PostgreSQL: $(tail -30 "$work/store_tests.log")"
fi

# Storage down: 503 with Retry-After, and not final.
if [ "$store" = postgres ]; then
    start_board
    stop_postgres "$work/pg"
    curl -s -D "$work/headers" -o "$work/answer" "http://127.0.0.1:$port/api/v1/board" >/dev/null
    grep -q '^HTTP/1.1 503' "$work/headers" && grep -qi '^Retry-After: [0-9]' "$work/headers" ||
        fail "with its storage down the board answered $(head -1 "$work/headers")"
    not_final "a storage failure"
    stop_board
fi
failed=0
echo "the board ($store) took the round played in time and refused the others"
