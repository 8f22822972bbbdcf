# Sourced by the display benchmarks: a private Xvfb of their own.

# start_display WxH: a display number away from the low ones that other servers probe;
# sets DISPLAY and xvfb_pid.
start_display() {
    local n
    for _ in $(seq 20); do
        n=$((100 + RANDOM % 800))
        [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 "$1x24" -nolisten tcp -noreset >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && return; sleep 0.05; done
        kill "$xvfb_pid"
    done
    echo "Xvfb did not start" >&2
    exit 1
}

stop_display() { kill "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null; xvfb_pid=""; }
