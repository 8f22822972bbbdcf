# A real PostgreSQL for a test, in a folder of its own: made with initdb, listening on a
# unix socket in that folder only, stopped by stop_postgres. PostgreSQL will not run as
# root, so under root it runs as nobody. Tests run it without fsync (POSTGRES_FSYNC=on for
# benchmarks).
#   start_postgres FOLDER   sets POSTGRES_URL; false after 30 s without a server
#   stop_postgres FOLDER

postgres_bin() {
    local bin
    bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
    [ -n "$bin" ] || { echo "PostgreSQL's server is not installed (Debian package postgresql)" >&2; return 1; }
    echo "$bin"
}

as_postgres_user() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi
}

start_postgres() {
    local folder=$1 bin
    bin=$(postgres_bin) || return 1
    mkdir -p "$folder"
    [ "$(id -u)" -ne 0 ] || chown nobody "$folder"
    as_postgres_user "$bin/initdb" -D "$folder/data" -A trust -U board -E UTF8 --no-sync >"$folder/initdb.log" 2>&1 ||
        { cat "$folder/initdb.log" >&2; return 1; }
    as_postgres_user "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 30 \
        -o "-k $folder -c listen_addresses= -c fsync=${POSTGRES_FSYNC:-off} -c max_connections=60" start >/dev/null ||
        { cat "$folder/server.log" >&2; return 1; }
    POSTGRES_URL="postgresql:///postgres?host=$folder&user=board"
    export POSTGRES_URL
}

stop_postgres() {
    local folder=$1 bin
    bin=$(postgres_bin) || return 1
    [ -f "$folder/data/postmaster.pid" ] || return 0
    as_postgres_user "$bin/pg_ctl" -D "$folder/data" -m fast -w -t 10 stop >/dev/null 2>&1 ||
        as_postgres_user "$bin/pg_ctl" -D "$folder/data" -m immediate -w -t 10 stop >/dev/null 2>&1
}
