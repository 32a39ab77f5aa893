#!/usr/bin/env bash
# Prepares a Wine prefix for unattended runs, once:
#   wine-prepare.sh PREFIX
# Creates the prefix and turns off Wine's crash dialog. With the dialog on, a crashing program
# waits on an invisible window for someone to press a button, and its test hangs until CTest's
# time-out; with it off, the debugger prints the crash's backtrace to the program's error
# output and the program ends, so the failure shows in the test's log.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wine_environment "$1"
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/.prepared" ]; then
    wineboot --init </dev/null >/dev/null 2>&1 || true
    wineserver --wait
    touch "$WINEPREFIX/.prepared"
fi
if [ ! -f "$WINEPREFIX/.crash-dialog-off" ]; then
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        </dev/null >/dev/null 2>&1
    wineserver --wait
    touch "$WINEPREFIX/.crash-dialog-off"
fi
