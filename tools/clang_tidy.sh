#!/usr/bin/env bash
# clang-tidy with the checks of .clang-tidy over the portable code and the hosts' portable
# parts (base, weather, transport, app). Its compile commands come from a configure-only build
# without precompiled headers, which clang cannot read from g++.
#   tools/clang_tidy.sh BUILD_DIR
set -euo pipefail
source="$(cd "$(dirname "$0")/.." && pwd)"
cmake -S "$source" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVANE_PRECOMPILED_HEADERS=OFF \
    -DCORVANE_BUILD_TESTS=OFF >/dev/null
exec run-clang-tidy -p "$1" -quiet -j "$(nproc)" "^$source/(base|weather|transport|app)/.*\.cpp$"
