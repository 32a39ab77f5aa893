#!/usr/bin/env bash
# Builds the map page and times it in Chromium: first map drawing, 2,000 stations, 300 PIREPs.
#   scripts/bench-page.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
node scripts/build-web.mjs build/web >/dev/null
node bench/page/run.mjs "${1:-9}"
