#!/bin/bash
# The world table in the real game, against the real board server on loopback with its
# timing rule on: --board off makes no connection at all; a round played over HTTPS (the
# real nginx in front, with a certificate made here) plays the board's seed, is accepted,
# shows in the world view with its rank, and its world row plays back; a round whose board
# goes down as it ends is saved locally at once, kept in the queue, and sent after the
# board and the game are started again.
. "$(dirname "$0")/lib.sh"

board_pid=""
free_port() {
    local p
    for _ in $(seq 50); do
        p=$((20000 + RANDOM % 20000))
        (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || { echo "$p"; return 0; }
    done
    fail "no free port"
}
port=$(free_port)
api="http://127.0.0.1:$port"

start_board() {
    "$BOARD" --listen "127.0.0.1:$port" --data "$work/board-data" >>"$work/board.log" 2>&1 &
    board_pid=$!
    other_pids="$other_pids $board_pid"
    wait_for 10 curl -sf "$api/healthz" -o /dev/null || fail "the board did not start: $(tail -3 "$work/board.log")"
}
board_shows() { curl -sf "$api/api/v1/board?period=all&limit=10" | grep -q "\"name\":\"$1\""; }
quit_game() {
    tap_at 320 450
    wait_game_exit 10
    [ "$exit_status" -eq 0 ] || fail "the game ended with $exit_status"
}
# play_round_and_type LETTERS [COMMAND]: the round runs out with no input (a table of zero
# scores takes its score of 0); COMMAND runs once the name entry shows, then the letters.
# A round the game found too slow to send (a machine busy with other work) is played
# again, up to three times, so the rest of the test sees a round that counts.
rounds_told() { grep -c "world round" "$work/game.err" || true; }
# With `busy=1` a hand dashes to and fro above the floor through the round, cutting blocks
# before they land, so the round runs long; its pace is a hand's, it waits for nothing.
busy_hand() {
    while kill -0 "$game_pid" 2>/dev/null; do
        for x in 140 500; do xdotool mousemove "$x" 390 mousedown 1 sleep 0.05 mouseup 1 sleep 0.5; done
    done
}
play_round_and_type() {
    local try
    for try in 1 2 3; do
        local told_before
        told_before=$(rounds_told)
        wait_for 10 on_title_menu || fail "no title menu"
        press_until 5 320 250 in_round || fail "Start Game did not start a round"
        local hand=""
        if [ "${busy:-0}" = 1 ]; then
            busy_hand &
            hand=$!
            other_pids="$other_pids $hand"
        fi
        name_entry() { shot && [ "$(count 250 150 273 157 "$white")" -eq 0 ] && [ "$(count 200 130 440 137 "$white")" -gt 20 ]; }
        # The round's end is told on stderr: screenshots, which cost the game its pace on a
        # busy machine, only once it has come.
        told() { [ "$(rounds_told)" -gt "$told_before" ]; }
        wait_for 200 told || fail "the game did not tell its world round"
        wait_for 20 name_entry || fail "no name entry after the round"
        [ -z "$hand" ] || { kill "$hand"; wait "$hand" 2>/dev/null || true; }
        [ "$(rounds_told)" -gt "$told_before" ] || fail "the game did not tell its world round"
        local pace
        pace=$(grep "world round" "$work/game.err" | tail -1)
        echo "$pace"  # for the log
        if [[ "$pace" == *"too slow"* ]]; then
            xdotool type --delay 250 "$1"
            xdotool key Return
            wait_for 5 on_highscore_table || fail "the name entry did not end"
            sleep 0.5  # past the double-click window
            tap_at 320 400  # Return to Title, for another round
            continue
        fi
        [ $# -lt 2 ] || "$2"
        xdotool type --delay 250 "$1"
        xdotool key Return
        wait_for 5 on_highscore_table || fail "the name entry did not end"
        return 0
    done
    fail "three rounds in a row ran slower than the board allows: the machine is too busy for this test"
}

start_display
make_run_dir
for i in 1 2 3 4 5 6 7 8 9 10; do printf 'A A A 0 1 \n'; done >"$run/KZ DATA/highscore.dat"

# --board off: a board named before stays unasked, through the title and a round.
off_port=$(free_port)
socat "TCP-LISTEN:$off_port,bind=127.0.0.1,reuseaddr,fork" SYSTEM:"echo hit >>'$work/hits'" &
other_pids="$other_pids $!"
wait_for 5 bash -c "(exec 3<>/dev/tcp/127.0.0.1/$off_port) 2>/dev/null" || fail "no listener"
wait_for 5 test -s "$work/hits" || fail "the listener does not count"
rm -f "$work/hits"  # the readiness check's own connection
printf 'url http://127.0.0.1:%s\nkey 00112233445566778899aabbccddeeff\ninitials ---\n' "$off_port" \
    >"$run/KZ DATA/board.txt"
start_game -- --board off
wait_for 10 on_title_menu || fail "no title menu with the board off"
grep -q '^url' "$run/KZ DATA/board.txt" && fail "--board off was not remembered"
press_until 5 320 250 in_round || fail "no round with the board off"
sleep 3
paused() { shot && [ "$(pixel 272 284)" = "$white" ] && [ "$(pixel 5 5)" = "$black" ]; }
key_until 5 Escape paused || fail "Esc did not pause"
tap_at 320 300  # Return to Title
wait_for 5 on_title_menu || fail "Return to Title did not return"
sleep 0.5  # past the double-click window: a second tap at once would not count
tap_at 320 400
wait_game_exit 10
[ -e "$work/hits" ] && fail "a connection was made with the board off"
[ -e "$run/KZ DATA/board-queue" ] && fail "a queue was made with the board off"

# HTTPS: a certificate for this machine, trusted by the game through BLOCKDASH_BOARD_CA.
start_board
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 1 \
    -subj /CN=localhost -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" 2>/dev/null ||
    fail "no certificate"
# The real nginx in front, as the README sets it up: TLS, the client's address passed on.
tls_port=$(free_port)
mkdir -p "$work/nginx"
cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
    access_log $work/nginx/access.log;
    client_body_temp_path $work/nginx/body;
    proxy_temp_path $work/nginx/proxy;
    fastcgi_temp_path $work/nginx/fastcgi;
    uwsgi_temp_path $work/nginx/uwsgi;
    scgi_temp_path $work/nginx/scgi;
    server {
        listen 127.0.0.1:$tls_port ssl;
        server_name localhost;
        ssl_certificate     $work/cert.pem;
        ssl_certificate_key $work/key.pem;
        client_max_body_size 512k;
        location / {
            proxy_pass http://127.0.0.1:$port;
            proxy_set_header X-Forwarded-For \$proxy_add_x_forwarded_for;
        }
    }
}
CONF
nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" 2>>"$work/nginx/error.log" &
other_pids="$other_pids $!"
wait_for 5 curl -sf --cacert "$work/cert.pem" "https://localhost:$tls_port/healthz" -o /dev/null ||
    fail "no TLS endpoint"
# Without its authority the certificate is not trusted, and the terminal says so in words.
start_game -- --board "https://localhost:$tls_port"
untrusted_told() { grep -q "no ticket from the world table at https://localhost:$tls_port: its certificate is not trusted" "$work/game.err"; }
wait_for 10 untrusted_told || fail "an untrusted certificate was not told: $(tail -3 "$work/game.err")"
wait_for 10 on_title_menu || fail "no title menu with an untrusted board"
tap_at 320 400  # Quit
wait_game_exit 10
start_game env BLOCKDASH_BOARD_CA="$work/cert.pem" -- --board "https://localhost:$tls_port"
busy=1 play_round_and_type WLD
wait_for 30 board_shows WLD || fail "the board did not take the round: $(tail -5 "$work/board.log")"
# "WORLD #1" in yellow under the table: eight letters centred, nothing further left.
world_rank_shown() {
    shot && [ "$(count 288 328 352 335 "$yellow")" -gt 20 ] && [ "$(count 200 328 280 335 "$yellow")" -eq 0 ]
}
wait_for 10 world_rank_shown || fail "the end screen shows no world rank"
# Below it, in grey, the round's link.
link_shown() { shot && [ "$(count 100 360 540 367 "160 160 160")" -gt 40 ]; }
wait_for 5 link_shown || fail "the end screen does not say the round's link"
# The round went through nginx, and its log holds no ticket: they travel in a header.
grep -q '"POST /api/v1/rounds HTTP/1.1" 201' "$work/nginx/access.log" ||
    fail "the round did not pass nginx: $(tail -3 "$work/nginx/access.log")"
grep -q 'POST /api/v1/notices' "$work/nginx/access.log" || fail "no notice passed nginx"
grep -qE 'ticket=|/tickets/[^ ]' "$work/nginx/access.log" &&
    fail "nginx logged a ticket: $(grep -E 'ticket=|/tickets/[^ ]' "$work/nginx/access.log" | head -1)"
keep_shot board_world_rank
# Its replay as the board keeps it verifies, with the name typed.
replay_path=$(curl -sf "$api/api/v1/board?period=all" | grep -o '"replay":"[^"]*"' | head -1 | cut -d'"' -f4)
case "$replay_path" in http*) replay_url=$replay_path ;; *) replay_url="$api$replay_path" ;; esac
curl -sf "$replay_url" -o "$work/world.rpl" || fail "no replay at $replay_url"
"$GAME" --verify "$work/world.rpl" | grep -q WLD || fail "the board's replay does not verify"

# The world view: ALL TIME in place of the local table, the round's row in yellow with
# its rank beside it; a click on it plays it back, and Esc comes back.
tap_at 510 160
world_row_shown() { on_highscore_table && [ "$(count 226 130 242 137 "$yellow")" -gt 5 ]; }
wait_for 10 world_row_shown || fail "the world view does not show the round with its rank"
keep_shot board_world_view
replaying() { in_round && [ "$(count 16 440 63 447 "$yellow")" -gt 10 ]; }
tap_at 300 133
wait_for 15 replaying || fail "the world row did not play back"
key_until 10 Escape on_highscore_table || fail "Esc did not end the world replay"
quit_game
[ -z "$(ls "$run/KZ DATA/world-replays")" ] && fail "the world replay was not kept in its cache folder"
ls "$run/KZ DATA/"*.rpl 2>/dev/null | grep -q 'world-' && fail "a world replay landed among the local ones"

# The round's watch page in headless chromium shows, at frames 1, 500, 2000 and its last,
# the very pixels the game draws there (the game given the page's link as its --replay),
# ends on the board's score, and asks nothing of anyone but the board.
link="$api/watch/${replay_path##*/}"
curl -sf "$link" -o "$work/watch.html" || fail "no watch page at $link"
frames=$(grep -o 'data-frames="[0-9]*"' "$work/watch.html" | cut -d'"' -f2)
[ -n "$frames" ] || fail "the watch page offers no player: $(grep -o 'no watch page player.*' "$work/board.log")"
moments=""
for f in 1 500 2000 "$frames"; do [ "$f" -gt "$frames" ] || moments="$moments $f"; done
mkdir -p "$work/game-pictures" "$work/page-pictures"
start_game env BLOCKDASH_REPLAY_PICTURES="$work/game-pictures$moments" -- --window --replay "$link?frame=9"
wait_game_exit 120
[ "$exit_status" -eq 0 ] || fail "--replay of the round's link ended with $exit_status: $(cat "$work/game.err")"
# shellcheck disable=SC2086
node "$WATCH_DRIVER" pictures "$link" "$work/page-pictures" $moments || fail "chromium could not show the round"
for f in $moments; do
    cmp -s "$work/game-pictures/frame-$f.ppm" "$work/page-pictures/frame-$f.ppm" ||
        fail "frame $f on the watch page is not the game's: $(compare -metric AE "$work/game-pictures/frame-$f.ppm" \
            "$work/page-pictures/frame-$f.ppm" "$work/frame-$f-diff.png" 2>&1) pixels differ"
done
board_score=$(curl -sf "$api/api/v1/board?period=all" | grep -o '"score":[0-9]*' | head -1 | cut -d: -f2)
node "$WATCH_DRIVER" ending "$link" >"$work/ending.txt" || fail "the watch page did not play to the end"
grep -qx "score $board_score" "$work/ending.txt" || fail "the page ended on $(cat "$work/ending.txt"), the board has $board_score"
node "$WATCH_DRIVER" screenshot "$link?frame=$((frames * 2 / 5))" "${SHOTS:-$work}/watch_page.png" || fail "no picture of the watch page"

# The board goes down as the round ends: the row is saved at once, the round queued; a
# new start of the game, with the board back, sends it.
kill_board() {
    kill -KILL "$board_pid"
    wait "$board_pid" 2>/dev/null
}
# Another player on this machine's data folder, so the board shows both (one row a key).
sed -i 's/^key .*/key ffeeddccbbaa99887766554433221100/' "$run/KZ DATA/board.txt"
start_game -- --board "$api"
play_round_and_type DWN kill_board
grep -q '^D W N ' "$run/KZ DATA/highscore.dat" || fail "the local row was not saved at once"
wait_for 10 sh -c "ls '$run/KZ DATA/board-queue/'*.sub >/dev/null 2>&1" || fail "the round was not queued"
quit_game
ls "$run/KZ DATA/board-queue/"*.sub >/dev/null 2>&1 || fail "the queued round did not outlive the game"
start_board
start_game
wait_for 10 on_title_menu || fail "no title menu on the new start"
wait_for 30 board_shows DWN || fail "the queued round was not sent: $(tail -5 "$work/board.log")"
wait_for 10 sh -c "! ls '$run/KZ DATA/board-queue/'*.sub >/dev/null 2>&1" || fail "the sent round stayed queued"
tap_at 320 400
wait_game_exit 10
echo "PASS"
