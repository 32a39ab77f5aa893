#!/usr/bin/env bash
# Sets up, builds and starts the map on this machine (the Linux desktop host).
#   scripts/run.sh                 live data from the two weather services (needs internet)
#   scripts/run.sh --demo          the project's own recorded documents, served by the demo's
#                                  services (demo/) in a private network namespace, so no
#                                  internet is needed; the map is labelled as demo data (needs root)
#   scripts/run.sh --no-setup ...  skip scripts/setup.sh
#   scripts/run.sh --screenshot FILE [--size WIDTHxHEIGHT] ...
#                                  run on a virtual display, save a picture of the map to FILE
#                                  once it has drawn its data (at most 120 s) and close; chosen by
#                                  itself when there is no display; --size sets the window's size
set -euo pipefail
cd "$(dirname "$0")/.."

demo=0
run_setup=1
screenshot=""
size=()
while [ $# -gt 0 ]; do
    case "$1" in
        --demo) demo=1; shift ;;
        --no-setup) run_setup=0; shift ;;
        --screenshot) screenshot="$(realpath -m "$2")"; shift 2 ;;
        --size) size=(--size "$2"); shift 2 ;;
        -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
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
[ ${#size[@]} -eq 0 ] || [ -n "$screenshot" ] || { echo "run.sh: --size needs --screenshot" >&2; exit 2; }

program_args=()
[ "$demo" -eq 1 ] && program_args+=(--demo)
if [ -n "$screenshot" ]; then
    # Debian's interpreter, for which python3-selenium is installed.
    command=(xvfb-run -a -s "-screen 0 1920x1080x24" /usr/bin/python3 scripts/capture-map.py
             "$screenshot" "${size[@]}" -- "$program" "${program_args[@]}")
else
    command=("$program" "${program_args[@]}")
fi

if [ "$demo" -eq 1 ]; then
    exec tools/run_isolated.sh --services demo/demo_services.py -- "${command[@]}"
fi
exec "${command[@]}"
