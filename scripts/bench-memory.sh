#!/usr/bin/env bash
# Peak memory with large documents (not a test: it prints figures, README, Performance).
#   scripts/bench-memory.sh [CASE...]   cases (all by default):
#     core        single operations of the weather core over documents of about 12 MB each
#                 (bench/operation_memory.cpp, optimised build)
#     alerts      the Linux host and its web process with a 12 MiB alerts document of about
#                 2,000 alerts
#     hazards     the host with three hazard documents of about 12 MB each (the page's own
#                 request at start)
#     hazards-x8  the same, then eight `hazards` requests at once through the page's bridge
# The host's cases run an optimised build against the demo's services in a network namespace
# (needs root).
set -euo pipefail
cd "$(dirname "$0")/.."
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(core alerts hazards hazards-x8)

host_case() {
    local data="$PWD/build/release/bench-memory-$1" python="$2"
    shift 2
    tools/run_isolated.sh --services demo/demo_services.py --services-arg "--data=$data" -- \
        xvfb-run -a -s "-screen 0 1920x1080x24" \
        "$python" bench/linux/memory_bench.py --program "$PWD/build/release/corvane-weather" "$@"
}

built_host=0
build_host() {
    if [ "$built_host" -eq 0 ]; then
        cmake --preset release >/dev/null
        cmake --build --preset release --target corvane-weather corvane_web
        python3 tests/linux/large_alerts.py "$PWD/build/release/bench-memory-alerts"
        python3 tests/linux/large_alerts.py "$PWD/build/release/bench-memory-hazards" \
            --alerts 0 --hazards
        built_host=1
    fi
}

for case in "${cases[@]}"; do
    echo "=== $case"
    case "$case" in
        core)
            cmake --preset bench >/dev/null
            cmake --build --preset bench --target operation_memory
            build/bench/bench/operation_memory
            ;;
        alerts)
            build_host
            host_case alerts python3
            ;;
        hazards)
            build_host
            host_case hazards python3 --answered /api/data/cwa
            ;;
        hazards-x8)
            build_host
            # Debian's interpreter, for which python3-selenium is installed.
            host_case hazards /usr/bin/python3 --answered /api/data/cwa --at-once 8
            ;;
        *)
            echo "unknown case '$case' (core alerts hazards hazards-x8)" >&2
            exit 2
            ;;
    esac
done
