#!/usr/bin/env bash
# Runs the installer's test program under Wine on a virtual screen, in a prefix of its own that
# is reset to its freshly created state first:
#   run_installer_tests.sh PREFIX PROGRAM
# The prefix is made once; what a run can change (the registry, the users' folders, the program
# folders) is then put back from a copy taken right after it was made, which takes a moment
# where making a prefix takes many seconds.
set -euo pipefail
prefix="$1"
program="$2"
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../../.." && pwd)"
source "$repo/scripts/wine-env.sh"
wine_environment "$prefix"

mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
wineserver --kill >/dev/null 2>&1 || true
wineserver --wait >/dev/null 2>&1 || true

fresh="$prefix.fresh"
changing=(system.reg user.reg userdef.reg drive_c/users drive_c/ProgramData
          "drive_c/Program Files" "drive_c/Program Files (x86)")
if [ ! -f "$fresh/.complete" ] || [ ! -f "$prefix/.prepared" ]; then
    rm -rf "$prefix" "$fresh"
    "$repo/scripts/wine-prepare.sh" "$prefix"
    wineserver --wait
    mkdir -p "$fresh"
    for part in "${changing[@]}"; do
        [ -e "$prefix/$part" ] && cp -a "$prefix/$part" "$fresh/"
    done
    touch "$fresh/.complete"
else
    for part in "${changing[@]}"; do
        rm -rf "${prefix:?}/$part"
        [ -e "$fresh/$(basename "$part")" ] && cp -a "$fresh/$(basename "$part")" "$prefix/$part"
    done
fi

source "$repo/tests/app/win32/xvfb.sh"
stop() {
    wineserver --kill >/dev/null 2>&1 || true
    wineserver --wait >/dev/null 2>&1 || true
    stop_xvfb
}
trap stop EXIT
start_xvfb 1920x1080
start_wine_services
"$wine" "$program"
