#!/usr/bin/env bash
# Builds the benchmarks in an optimised build, runs them and prints a table.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench
mkdir -p build/bench/results
build/bench/bench/core_bench --benchmark_format=json --benchmark_out=build/bench/results/core.json \
    --benchmark_out_format=json >/dev/null
python3 - build/bench/results/core.json <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
print(f"{'benchmark':40} {'time':>14} {'extra'}")
failed = False
for b in report["benchmarks"]:
    extra = ", ".join(f"{k}={b[k]:.3g}" for k in ("ratio", "ideal_ms", "body_MB") if k in b)
    if "bytes_per_second" in b:
        extra += (", " if extra else "") + f"{b['bytes_per_second'] / 1e6:.0f} MB/s"
    print(f"{b['name']:40} {b['real_time']:>10.3f} {b['time_unit']:>3} {extra}")
    for name, what in (("BM_PointWeatherParallelism", "point"), ("BM_HazardsParallelism", "hazards")):
        if b["name"].startswith(name) and b.get("ratio", 99) > 1.10:
            print(f"  ratio above 1.10: the {what} products are not fetched in parallel",
                  file=sys.stderr)
            failed = True
sys.exit(1 if failed else 0)
PY
