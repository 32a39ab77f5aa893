# Sourced by the host's test scripts: a virtual X screen of a chosen size for Wine.
#   start_xvfb WIDTHxHEIGHT   starts Xvfb on a free display and exports DISPLAY
#   stop_xvfb                 ends it
xvfb_pid=""
xvfb_work=""

start_xvfb() {
    stop_xvfb
    xvfb_work="$(mktemp -d /tmp/corvane-xvfb.XXXXXX)"
    Xvfb -displayfd 5 -screen 0 "$1x24" -nolisten tcp 5>"$xvfb_work/display" \
        </dev/null >"$xvfb_work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$xvfb_work/display" ] && break
        sleep 0.1
    done
    if [ ! -s "$xvfb_work/display" ]; then
        cat "$xvfb_work/xvfb.log" >&2
        echo "Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$(head -n1 "$xvfb_work/display")"
}

stop_xvfb() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=""
    fi
    if [ -n "$xvfb_work" ]; then
        rm -rf "$xvfb_work"
        xvfb_work=""
    fi
}
