#!/usr/bin/env bash
# Benchmarks the Linux host (start-up to first drawing, resident memory with all layers loaded)
# in an optimised build against the demo's services in a network namespace (needs root).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release --target corvane-weather corvane_web
exec tools/run_isolated.sh --services demo/demo_services.py -- \
    xvfb-run -a -s "-screen 0 1920x1080x24" \
    /usr/bin/python3 bench/linux/host_bench.py --program "$PWD/build/release/corvane-weather" "$@"
