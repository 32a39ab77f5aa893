#!/usr/bin/env bash
# Sets up, builds and starts the map on this machine (the Linux desktop host).
#   scripts/run.sh                 live data from the two weather services (needs internet)
#   scripts/run.sh --demo          the project's own recorded documents, served by the fake
#                                  services in a private network namespace, so no internet is
#                                  needed; the map is labelled as demo data (needs root)
#   scripts/run.sh --no-setup ...  skip scripts/setup.sh
#   scripts/run.sh --screenshot FILE ...
#                                  run on a virtual display, save a picture of the loaded map to
#                                  FILE and close; chosen by itself when there is no display
set -euo pipefail
cd "$(dirname "$0")/.."

demo=0
run_setup=1
screenshot=""
while [ $# -gt 0 ]; do
    case "$1" in
        --demo) demo=1; shift ;;
        --no-setup) run_setup=0; shift ;;
        --screenshot) screenshot="$(realpath -m "$2")"; shift 2 ;;
        -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
        *) echo "run.sh: unknown option '$1' (see --help)" >&2; exit 2 ;;
    esac
done

if [ "$run_setup" -eq 1 ]; then
    scripts/setup.sh
fi
mkdir -p build
cmake --preset release >build/configure-release.log 2>&1 || { cat build/configure-release.log; exit 1; }
cmake --build --preset release --target corvane-weather corvane_web
program="$PWD/build/release/corvane-weather"

if [ -z "$screenshot" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    screenshot="$PWD/build/release/corvane-weather-map.png"
    echo "No display here: the map runs on a virtual display and its picture goes to $screenshot"
fi

program_args=()
[ "$demo" -eq 1 ] && program_args+=(--demo)
if [ -n "$screenshot" ]; then
    command=(xvfb-run -a -s "-screen 0 1920x1080x24" scripts/capture-map.sh "$screenshot"
             "$program" "${program_args[@]}")
else
    command=("$program" "${program_args[@]}")
fi

if [ "$demo" -eq 1 ]; then
    exec tools/run_isolated.sh --services demo/demo_services.py -- "${command[@]}"
fi
exec "${command[@]}"
