#!/usr/bin/env bash
# Many `point` requests through the Windows build under Wine, each on a worker started as the
# host starts its workers, with the point operation's three sub-tasks inside it; reports whether
# every request ended and every slot came back (bench/win32/point_stress.cpp). Not part of
# scripts/test.sh:
#   scripts/stress.sh [REQUESTS]     (default 10000)
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
cmake --preset windows >build/configure-windows.log 2>&1 || { cat build/configure-windows.log; exit 1; }
cmake --build --preset windows -j 2 --target point_stress
prefix="$PWD/build/windows/wineprefix"
scripts/wine-prepare.sh "$prefix"
exec scripts/wine-run.sh "$prefix" build/windows/bench/win32/point_stress.exe "$@"
