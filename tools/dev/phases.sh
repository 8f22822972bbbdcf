# One line per phase for play.sh and test.sh: each phase's whole output goes to a log in
# its build folder and is shown only when the phase fails. VERBOSE=1 shows everything.

# run_to_log <log> <command...>: the command's output into the log (and on screen when verbose).
run_to_log() {
    local log=$1; shift
    mkdir -p "$(dirname "$log")"
    if [ -n "${VERBOSE:-}" ]; then
        "$@" 2>&1 | tee "$log"
        return "${PIPESTATUS[0]}"
    fi
    "$@" >"$log" 2>&1
}

phase_start() { if [ -n "${VERBOSE:-}" ]; then echo "== $1"; else printf '%s ... ' "$1"; fi; }

phase_failed() {
    echo "FAILED"
    [ -n "${VERBOSE:-}" ] || cat "$2"
    echo "$1 failed; the full log is $2" >&2
    exit 1
}

# phase <title> <log> <command...>
phase() {
    local title=$1 log=$2; shift 2
    phase_start "$title"
    run_to_log "$log" "$@" || phase_failed "$title" "$log"
    echo "ok"
}

# build_phase <title> <build folder> <target> <configure arguments...>: configures and
# builds; on a terminal the line shows how far the build has got.
build_phase() {
    local title=$1 build=$2 target=$3; shift 3
    local log="$build/logs/build.log" status
    phase_start "$title"
    if [ -n "${VERBOSE:-}" ] || [ ! -t 1 ]; then
        run_to_log "$log" build_steps "$build" "$target" "$@" || phase_failed "$title" "$log"
        echo "ok"
        return 0
    fi
    mkdir -p "$build/logs"
    set +e
    build_steps "$build" "$target" "$@" 2>&1 | tee "$log" | while IFS= read -r line; do
        [[ $line =~ ^\[\ *([0-9]+)%\] ]] && printf '\r%s ... %s%%' "$title" "${BASH_REMATCH[1]}"
    done
    status=${PIPESTATUS[0]}
    set -e
    printf '\r%s ... ' "$title"
    [ "$status" -eq 0 ] || phase_failed "$title" "$log"
    echo "ok   "
}

build_steps() {
    local build=$1 target=$2; shift 2
    # The target may be several, separated by spaces.
    # shellcheck disable=SC2086
    cmake -S . -B "$build" "$@" && cmake --build "$build" -j"$(nproc)" --target $target
}

# test_phase <title> <log> <ctest arguments...>: says how many tests passed. Finding no
# tests at all is a failure too, so a broken filter cannot pass for a green run.
test_phase() {
    local title=$1 log=$2 count; shift 2
    phase_start "$title"
    run_to_log "$log" ctest --output-on-failure "$@" || phase_failed "$title" "$log"
    count=$(grep -o 'failed out of [0-9]*' "$log" | grep -o '[0-9]*$' || true)
    [ "${count:-0}" -gt 0 ] || phase_failed "$title (no tests found)" "$log"
    echo "$count passed"
}
