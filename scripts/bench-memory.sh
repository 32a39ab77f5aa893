#!/usr/bin/env bash
# Peak memory of the Linux host and its web process with a 12 MiB alerts document of about
# 2,000 alerts, in an optimised build against the demo's services in a network namespace (needs
# root). Not a test: it prints figures (README, Performance).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release --target corvane-weather corvane_web
data="$PWD/build/release/bench-memory-data"
python3 tests/linux/large_alerts.py "$data"
exec tools/run_isolated.sh --services demo/demo_services.py --services-arg "--data=$data" -- \
    xvfb-run -a -s "-screen 0 1920x1080x24" \
    python3 bench/linux/memory_bench.py --program "$PWD/build/release/corvane-weather" "$@"
