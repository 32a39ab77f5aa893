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
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../../../scripts/wine-env.sh"
wine_environment "$prefix"

mkdir -p "$prefix"
exec 9>"$prefix.lock"
flock 9

source "$here/xvfb.sh"
stop_screen() {
    wineserver --kill >/dev/null 2>&1 || true
    wineserver --wait >/dev/null 2>&1 || true
    stop_xvfb
}
trap stop_screen EXIT

start_screen() {
    stop_screen
    start_xvfb "$1"
    "$here/../../../scripts/wine-prepare.sh" "$prefix"
    start_wine_services
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
