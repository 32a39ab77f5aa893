#!/usr/bin/env bash
# The Windows host's UI-thread cost per accepted message and per delivered reply, measured
# under Wine in the optimised Windows build (bench/win32/host_bench.cpp):
#   scripts/bench-host.sh [BATCHES]     (8 requests per batch; default 400)
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
cmake --preset windows >build/configure-windows.log 2>&1 || { cat build/configure-windows.log; exit 1; }
cmake --build --preset windows --target host_bench
prefix="$PWD/build/windows/wineprefix"
scripts/wine-prepare.sh "$prefix"
exec scripts/wine-run.sh "$prefix" build/windows/bench/win32/host_bench.exe "$@"
