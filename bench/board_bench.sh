#!/bin/bash
# The board server's benchmarks, by hand (not part of ./test.sh), on loopback only:
#   bench/board_bench.sh [build folder, default build] [parts, default "submit reads cleanup race kills"]
# With two or more cores the board runs alone on core 0 and the bench on core 1. SQLite and
# a PostgreSQL made for the run (with fsync, in a temporary folder, stopped at the end).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
parts=${2:-submit reads cleanup race kills}
part() { [[ " $parts " == *" $1 "* ]]; }
board="$build/src/board/blockdash-board"
bench="$build/bench/board_bench"
. tests/board/postgres.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/board-bench-XXXXXX")
chmod 755 "$work"
server_pids=()
cleanup() {
    for pid in "${server_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    stop_postgres "$work/pg" || true
    rm -rf "$work"
}
trap cleanup EXIT
on_core() { if [ "$(nproc)" -ge 2 ]; then taskset -c "$1" "${@:2}"; else "${@:2}"; fi; }
board_core=()
[ "$(nproc)" -lt 2 ] || board_core=(taskset -c 0)

POSTGRES_FSYNC=on start_postgres "$work/pg"
pg_base=$POSTGRES_URL
export BLOCKDASH_BOARD_SECRET=$(head -c 32 /dev/urandom | od -An -tx1 | tr -d ' \n')

# start_board LOG [option...]: a board on core 0 with the testing waiver; sets port.
start_board() {
    local log=$1; shift
    "${board_core[@]}" "$board" --listen 127.0.0.1:0 --testing-waiver "$@" >"$log" 2>&1 &
    server_pids+=($!)
    for _ in $(seq 100); do
        port=$(grep -so 'listening on 127.0.0.1:[0-9]*' "$log" | cut -d: -f2 || true)
        [ -z "$port" ] || return 0
        sleep 0.1
    done
    echo "the board did not start: $(cat "$log")"; exit 1
}
stop_boards() {
    for pid in "${server_pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
    server_pids=()
}
new_database() {  # a fresh PostgreSQL database for one part; sets database
    psql -q "$pg_base" -c "DROP DATABASE IF EXISTS $1" -c "CREATE DATABASE $1" >/dev/null
    database="postgresql:///$1?host=$work/pg&user=board"
}

part submit && for store in sqlite postgresql; do
    database=""
    echo "== submissions a second, $store (busy whole rounds, 4 clients, the board alone on one core)"
    options=(--data "$work/submit-$store")
    if [ $store = postgresql ]; then new_database submit; options+=(--database "$database"); fi
    start_board "$work/submit-$store.log" "${options[@]}"
    on_core 1 "$bench" submit "$port" 300
    stop_boards
done

part reads && for store in sqlite postgresql; do
    database=""
    echo "== reads over 1,000,000 rounds of 50,000 keys over a year, $store"
    options=(--data "$work/reads-$store")
    mkdir -p "$work/reads-$store"
    if [ $store = postgresql ]; then new_database reads; options+=(--database "$database"); fi
    "$bench" fill "${database:-}" "$work/reads-$store" | sed 's/^/  /'
    start_board "$work/reads-$store.log" "${options[@]}"
    on_core 1 "$bench" reads "$port"
    stop_boards
done

part cleanup && for store in sqlite postgresql; do
    database=""
    echo "== the hourly clean-up over 1,000,000 rounds (30 days kept), another writer beside it, $store"
    mkdir -p "$work/cleanup-$store"
    if [ $store = postgresql ]; then new_database cleanup; fi
    "$bench" fill "${database:-}" "$work/cleanup-$store" | sed 's/^/  /'
    on_core 1 "$bench" cleanup "${database:-}" "$work/cleanup-$store"
done

if part race; then
    echo "== two boards on one PostgreSQL, each round sent to both at once"
    new_database race
    start_board "$work/race1.log" --data "$work/race1" --database "$database"
    port1=$port
    start_board "$work/race2.log" --data "$work/race2" --database "$database"
    on_core 1 "$bench" race "$port1" "$port" 1000
    stop_boards
fi

if part kills; then
    echo "== kill -9 during submissions (SQLite)"
    "$bench" kills "$board" "$work/kills" 2000 20
fi
true
