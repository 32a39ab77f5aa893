#!/usr/bin/env bash
# Runs a command with DISPLAY set to a virtual X screen of the given size:
#   with_screen.sh WIDTHxHEIGHT -- COMMAND [ARGS...]
# Used around tools/run_isolated.sh, so that the wineserver it starts in its
# network namespace, and every Wine program there, draw on the screen (through the display's
# socket file, which the namespace shares).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
size="$1"
shift
[ "${1:-}" = "--" ] && shift
source "$here/xvfb.sh"
trap stop_xvfb EXIT
start_xvfb "$size"
set +e
"$@"
status=$?
exit "$status"
