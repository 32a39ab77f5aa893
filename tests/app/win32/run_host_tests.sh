#!/usr/bin/env bash
# Runs the host's test program under Wine on virtual screens (Xvfb) of three sizes:
#   run_host_tests.sh PREFIX PROGRAM
# Every test runs on the 1920x1080 screen; the geometry test runs again on 1366x768 and
# 2560x1440. Wine reports the X screen's size through GetSystemMetrics, but a running
# wineserver (and the desktop process it keeps) holds on to the size it started with, so each
# screen gets a wineserver of its own. The prefix is the host tests' own: they register a fake
# browser runtime, change the https handler and the DPI, and restart the wineserver.
set -euo pipefail
prefix="$1"
program="$2"
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine

mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9

xvfb=""
work="$(mktemp -d /tmp/corvane-host-tests.XXXXXX)"
stop_screen() {
    wineserver --kill >/dev/null 2>&1 || true
    wineserver --wait >/dev/null 2>&1 || true
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
        xvfb=""
    fi
}
trap 'stop_screen; rm -rf "$work"' EXIT

start_screen() {
    stop_screen
    : >"$work/display"
    Xvfb -displayfd 5 -screen 0 "$1x24" -nolisten tcp 5>"$work/display" \
        </dev/null >"$work/xvfb.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    [ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(head -n1 "$work/display")"
    if [ ! -f "$prefix/.prepared" ]; then
        wineboot --init </dev/null >/dev/null 2>&1 || true
        wineserver --wait
        touch "$prefix/.prepared"
    fi
    wineserver --persistent
    # No window manager runs on the virtual screen: Wine must not wait for one (it would wait
    # 2 s each time a window is hidden or destroyed). This also starts Wine's own services and
    # desktop now, detached from the test's output.
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        </dev/null >/dev/null 2>&1 || true
}

status=0
for screen in 1920x1080 1366x768 2560x1440; do
    start_screen "$screen"
    filter="*"
    [ "$screen" = 1920x1080 ] || filter="HostWindow.GeometryOnThisScreen"
    echo "--- screen $screen"
    CORVANE_TEST_SCREEN="$screen" "$wine" "$program" --gtest_filter="$filter" || status=1
done
exit "$status"
